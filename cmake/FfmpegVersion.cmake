# The decoder passes RTSP's "timeout" as the socket time-out in microseconds.
# Before libavformat 59 (FFmpeg 5.0) that name set how long to listen for a
# camera calling in instead, so an older library would turn every Link into
# a wait for an incoming connection.
set(VIDRA_AVFORMAT_MINIMUM 59.0.100)

function(vidra_require_avformat found)
  if(found VERSION_LESS VIDRA_AVFORMAT_MINIMUM)
    message(FATAL_ERROR
      "libavformat ${found} is too old for the Vidra plug-in: it needs ${VIDRA_AVFORMAT_MINIMUM} "
      "(FFmpeg 5.0) or newer, where RTSP's \"timeout\" option is the socket time-out.")
  endif()
endfunction()
