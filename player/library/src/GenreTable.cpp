#include "ombrix/library/GenreTable.h"

#include <array>

namespace ombrix {
namespace {

constexpr const char* kFirst[] = {"Blues",
                                  "Classic Rock",
                                  "Country",
                                  "Dance",
                                  "Disco",
                                  "Funk",
                                  "Grunge",
                                  "Hip-Hop",
                                  "Jazz",
                                  "Metal",
                                  "New Age",
                                  "Oldies",
                                  "Other",
                                  "Pop",
                                  "R&B",
                                  "Rap",
                                  "Reggae",
                                  "Rock",
                                  "Techno",
                                  "Industrial",
                                  "Alternative",
                                  "Ska",
                                  "Death Metal",
                                  "Pranks",
                                  "Soundtrack",
                                  "Euro-Techno",
                                  "Ambient",
                                  "Trip-Hop",
                                  "Vocal",
                                  "Jazz+Funk",
                                  "Fusion",
                                  "Trance",
                                  "Classical",
                                  "Instrumental",
                                  "Acid",
                                  "House",
                                  "Game",
                                  "Sound Clip",
                                  "Gospel",
                                  "Noise",
                                  "Alt. Rock",
                                  "Bass",
                                  "Soul",
                                  "Punk",
                                  "Space",
                                  "Meditative",
                                  "Instrumental Pop",
                                  "Instrumental Rock",
                                  "Ethnic",
                                  "Gothic",
                                  "Darkwave",
                                  "Techno-Industrial",
                                  "Electronic",
                                  "Pop-Folk",
                                  "Eurodance",
                                  "Dream",
                                  "Southern Rock",
                                  "Comedy",
                                  "Cult",
                                  "Gangsta",
                                  "Top 40",
                                  "Christian Rap",
                                  "Pop/Funk",
                                  "Jungle",
                                  "Native American",
                                  "Cabaret",
                                  "New Wave",
                                  "Psychadelic",
                                  "Rave",
                                  "Showtunes",
                                  "Trailer",
                                  "Lo-Fi",
                                  "Tribal",
                                  "Acid Punk",
                                  "Acid Jazz",
                                  "Polka",
                                  "Retro",
                                  "Musical",
                                  "Rock & Roll",
                                  "Hard Rock",
                                  "Folk",
                                  "Folk/Rock",
                                  "National Folk",
                                  "Swing",
                                  "Fusion",
                                  "Bebob",
                                  "Latin",
                                  "Revival",
                                  "Celtic",
                                  "Bluegrass",
                                  "Avantgarde",
                                  "Gothic Rock",
                                  "Progressive Rock",
                                  "Psychedelic Rock",
                                  "Symphonic Rock",
                                  "Slow Rock",
                                  "Big Band",
                                  "Chorus",
                                  "Easy Listening",
                                  "Acoustic",
                                  "Humour",
                                  "Speech",
                                  "Chanson",
                                  "Opera",
                                  "Chamber Music",
                                  "Sonata",
                                  "Symphony",
                                  "Booty Bass",
                                  "Primus",
                                  "Porn Groove",
                                  "Satire",
                                  "Slow Jam",
                                  "Club",
                                  "Tango",
                                  "Samba",
                                  "Folklore"};
static_assert(std::size(kFirst) == 116);

constexpr const char* kLast[] = {"Heavy Rock",     "Doom Rock", "J-POP",     "Seiyu",
                                 "Techno Ambient", "Moemoe",    "Tokusatsu", "Anime"};
constexpr int kLastStart = 248;

}  // namespace

QString GenreTable::name(int index) {
    if (index >= 0 && index < int(std::size(kFirst))) return QString::fromLatin1(kFirst[index]);
    if (index >= kLastStart && index < kSize) return QString::fromLatin1(kLast[index - kLastStart]);
    return {};
}

int GenreTable::indexOf(const QString& name) {
    if (name.isEmpty()) return -1;
    for (int i = 0; i < kSize; ++i)
        if (GenreTable::name(i).compare(name, Qt::CaseInsensitive) == 0) return i;
    return -1;
}

}  // namespace ombrix
