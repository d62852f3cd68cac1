# Writes the default installation data into OUT. Run as: cmake -DOUT=dir -P this-file.
#
# resource/media.ini lists the media types in the order the player relies on: the first eight
# extensions (archives, playlists, compressed modules) never count as playable archive members.
if(NOT OUT)
  message(FATAL_ERROR "OUT is not set")
endif()

set(CRLF "\r\n")

# name | extensions ("," stands for ";", which CMake would take as a list separator) | icon
set(types
  "Archive|*.zip,*.lzh,|archive"
  "Playlist|*.dmp,*.m3u,|playlist"
  "Compressed module|*.s3z,*.itz,*.mdz,*.xmz,|module"
  "MPEG audio|*.mp3,*.mp2,*.rmp,|mpeg"
  "Wave|*.wav,|wave"
  "FLAC and Ogg audio|*.flac,*.ogg,*.oga,*.opus,|wave"
  "MIDI|*.mid,*.midi,*.rmi,|midi"
  "Module|*.mod,*.xm,*.s3m,*.it,|module"
  "Video|*.avi,*.mpg,*.qt,*.mov,*.dat,|video"
  "CD audio|*.cda,|cdaudio"
)
set(media "")
foreach(t IN LISTS types)
  # Split at the two "|" by position.
  string(FIND "${t}" "|" p1)
  string(SUBSTRING "${t}" 0 ${p1} name)
  math(EXPR s1 "${p1} + 1")
  string(SUBSTRING "${t}" ${s1} -1 rest)
  string(FIND "${rest}" "|" p2)
  string(SUBSTRING "${rest}" 0 ${p2} ext)
  string(REPLACE "," ";" ext "${ext}")
  math(EXPR s2 "${p2} + 1")
  string(SUBSTRING "${rest}" ${s2} -1 icon)
  string(APPEND media "[${name}]${CRLF}ext=${ext}${CRLF}icon=${icon}${CRLF}associate=0${CRLF}${CRLF}")
endforeach()
file(MAKE_DIRECTORY ${OUT}/resource)
file(WRITE ${OUT}/resource/media.ini "${media}")

set(credits
  "Ombrix Player ${VERSION}"
  ""
  "MPEG audio decoder, effects engine and player:"
  "  the Ombrix developers"
  ""
  "Uses Qt, SDL2, libzip, liblhasa, libcdio, libsndfile and FluidSynth."
)
string(JOIN "${CRLF}" credits_text ${credits})
file(WRITE ${OUT}/credits.txt "${credits_text}${CRLF}")

foreach(d fx plugin/bg plugin/full plugin/amp file)
  file(MAKE_DIRECTORY ${OUT}/${d})
endforeach()
