// HeartBeatInfoClass: one supervised machine of the heartbeat table cache
// (m_dictHeartBeats of the library object): its timeout and the time its last
// sign of life was seen. Plain value; owned by the library object's thread.
#ifndef VOLTRANE_LIBRARY_HEART_BEAT_INFO_H_
#define VOLTRANE_LIBRARY_HEART_BEAT_INFO_H_

#include <cstdint>

#include "dbaccess/date_time.h"

namespace korvex7::internal {

struct HeartBeatInfoClass {
  int32_t Timeout = 0;  // seconds
  dbaccess::DateTime LastHeartBeat;
};

}  // namespace korvex7::internal

#endif  // VOLTRANE_LIBRARY_HEART_BEAT_INFO_H_
