// The library's class factory: Korvex7CreateObject and Korvex7ReleaseObject
// (declared in korvex7.h), the way clients and the collector service create
// the object, by ProgID or CLSID and one of the five interface ids the
// object answers to (the object is a _CKorvex7Obj3 for each). Identifiers
// compare without regard to case, and the braces around an id may be left
// out. Never throws across the C boundary.
#include <algorithm>
#include <cctype>
#include <new>
#include <string>

#include "library/korvex7.h"
#include "library/korvex7_obj.h"

namespace {

constexpr int32_t kOk = 0;
constexpr int32_t kClassNotRegistered = static_cast<int32_t>(0x80040154u);
constexpr int32_t kNoInterface = static_cast<int32_t>(0x80004002u);
constexpr int32_t kInvalidArgument = static_cast<int32_t>(0x80070057u);
constexpr int32_t kOutOfMemory = static_cast<int32_t>(0x8007000Eu);
constexpr int32_t kFailure = static_cast<int32_t>(0x80004005u);

// Upper case, without one pair of surrounding braces or blanks.
std::string Normalized(const char* text) {
  std::string value(text);
  const auto blank = [](unsigned char c) { return std::isspace(c) != 0; };
  value.erase(value.begin(), std::find_if_not(value.begin(), value.end(), blank));
  value.erase(std::find_if_not(value.rbegin(), value.rend(), blank).base(), value.end());
  if (value.size() >= 2 && value.front() == '{' && value.back() == '}') {
    value = value.substr(1, value.size() - 2);
  }
  std::transform(value.begin(), value.end(), value.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return value;
}

bool IsOurClass(const char* name) {
  const std::string wanted = Normalized(name);
  return wanted == Normalized(kKorvex7ProgId) || wanted == Normalized(kKorvex7Clsid);
}

bool IsOurInterface(const char* id) {
  const std::string wanted = Normalized(id);
  return wanted == Normalized(kKorvex7InterfaceId) || wanted == Normalized(kKorvex7InterfaceIdV0) ||
         wanted == Normalized(kKorvex7InterfaceIdV1) ||
         wanted == Normalized(kKorvex7Obj2InterfaceId) ||
         wanted == Normalized(kKorvex7Obj3InterfaceId) ||
         wanted == Normalized(kKorvex7Obj4InterfaceId) ||
         wanted == Normalized(kKorvex7Obj5InterfaceId);
}

}  // namespace

extern "C" int32_t Korvex7CreateObject(const char* prog_id_or_clsid, const char* interface_id,
                                       _CKorvex7Obj** object) {
  if (object == nullptr) return kInvalidArgument;
  *object = nullptr;
  if (prog_id_or_clsid == nullptr || interface_id == nullptr) return kInvalidArgument;
  if (!IsOurClass(prog_id_or_clsid)) return kClassNotRegistered;
  if (!IsOurInterface(interface_id)) return kNoInterface;
  try {
    *object = new CKorvex7Obj();
    return kOk;
  } catch (const std::bad_alloc&) {
    return kOutOfMemory;
  } catch (...) {
    return kFailure;
  }
}

extern "C" void Korvex7ReleaseObject(_CKorvex7Obj* object) { delete object; }
