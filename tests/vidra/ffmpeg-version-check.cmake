# cmake -DFOUND=VERSION -P ffmpeg-version-check.cmake: runs the plug-in's
# libavformat check on one version, as the plug-in's configure does.
include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/FfmpegVersion.cmake)
vidra_require_avformat(${FOUND})
message(STATUS "accepted ${FOUND}")
