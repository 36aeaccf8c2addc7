# FFmpeg as one interface target, orvanel::ffmpeg.
# Native builds use the system's development packages; the Windows build uses
# the static FFmpeg that tools/ffmpeg-win.sh builds (ORVANEL_FFMPEG_PREFIX).
add_library(orvanel_ffmpeg INTERFACE)
add_library(orvanel::ffmpeg ALIAS orvanel_ffmpeg)

if(WIN32)
  set(ORVANEL_FFMPEG_PREFIX "" CACHE PATH "Prefix of FFmpeg built for Windows")
  if(NOT ORVANEL_FFMPEG_PREFIX)
    message(FATAL_ERROR "Set ORVANEL_FFMPEG_PREFIX to the output of tools/ffmpeg-win.sh")
  elseif(NOT EXISTS "${ORVANEL_FFMPEG_PREFIX}/lib/libavcodec.a")
    # The run command compiles what needs no FFmpeg while FFmpeg is built.
    message(STATUS "FFmpeg for Windows not built yet in ${ORVANEL_FFMPEG_PREFIX}")
  endif()
  target_include_directories(orvanel_ffmpeg SYSTEM INTERFACE "${ORVANEL_FFMPEG_PREFIX}/include")
  target_link_libraries(orvanel_ffmpeg INTERFACE
    "${ORVANEL_FFMPEG_PREFIX}/lib/libavformat.a"
    "${ORVANEL_FFMPEG_PREFIX}/lib/libavcodec.a"
    "${ORVANEL_FFMPEG_PREFIX}/lib/libswscale.a"
    "${ORVANEL_FFMPEG_PREFIX}/lib/libavutil.a"
    ole32 user32 bcrypt)
else()
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(FFMPEG REQUIRED IMPORTED_TARGET libavformat libavcodec libswscale libavutil)
  target_link_libraries(orvanel_ffmpeg INTERFACE PkgConfig::FFMPEG)
endif()
