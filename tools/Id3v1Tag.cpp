// id3v1-tag FILE TITLE ARTIST ALBUM YEAR GENRE: appends an ID3v1 tag to FILE (for the demo songs
// whose encoder writes none).
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

void field(char* out, const char* text, size_t size) {
    std::memset(out, 0, size);
    std::memcpy(out, text, std::min(size, std::strlen(text)));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 7) {
        std::fprintf(stderr, "usage: id3v1-tag FILE TITLE ARTIST ALBUM YEAR GENRE-NUMBER\n");
        return 64;
    }
    char tag[128];
    std::memcpy(tag, "TAG", 3);
    field(tag + 3, argv[2], 30);
    field(tag + 33, argv[3], 30);
    field(tag + 63, argv[4], 30);
    field(tag + 93, argv[5], 4);
    field(tag + 97, "", 30);
    tag[127] = static_cast<char>(std::atoi(argv[6]));
    FILE* f = std::fopen(argv[1], "ab");
    if (!f) return 1;
    const bool ok = std::fwrite(tag, 1, sizeof tag, f) == sizeof tag;
    return std::fclose(f) == 0 && ok ? 0 : 1;
}
