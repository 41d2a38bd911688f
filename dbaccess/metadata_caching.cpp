#include "dbaccess/metadata_caching.h"

#include <atomic>

namespace dbaccess {
namespace {

std::atomic<bool>& CachingFlag() {
  static std::atomic<bool> on{true};
  return on;
}

}  // namespace

void SetMetadataCaching(bool on) { CachingFlag().store(on); }
bool MetadataCaching() { return CachingFlag().load(); }

}  // namespace dbaccess
