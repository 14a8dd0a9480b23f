# Sound server capture and AAC encoding/decoding for the audio layers.
pkg_check_modules(TAVRO_AUDIO_PULSE REQUIRED IMPORTED_TARGET libpulse)
pkg_check_modules(TAVRO_AUDIO_FFMPEG REQUIRED IMPORTED_TARGET
                  libavformat libavcodec libswresample libavutil)
target_link_libraries(tavro_platform PUBLIC PkgConfig::TAVRO_AUDIO_PULSE
                      PkgConfig::TAVRO_AUDIO_FFMPEG)
