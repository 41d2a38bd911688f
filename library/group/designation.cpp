// Option 14's value and its refusals (see designation.h).
#include "library/group/designation.h"

namespace korvex7::internal::group {

std::string ServerDatabaseNeededText(const std::string& strKindName) {
  const bool bVowel =
      !strKindName.empty() && std::string("AEIOSaeio").find(strKindName[0]) != std::string::npos;
  return "Collector groups need a server database (PostgreSQL); " +
         std::string(bVowel ? "an " : "a ") + strKindName +
         " database is processed by one collector.";
}

std::string MemberNeededText(const std::string& strGroup) {
  return "Error. This database's log is processed by the collector group '" + strGroup +
         "'; run this collector as a member of it (korvex7 process --member NAME, or the "
         "collector's GroupMember setting)";
}

Designation Designation::Parse(const std::string& strValue, const std::string& strComputer) {
  Designation designation;
  designation.m_strValue = strValue;
  const std::string prefix = kDesignationPrefix;
  if (strValue.compare(0, prefix.size(), prefix) == 0) {
    designation.m_kind = Kind::kGroup;
    designation.m_strGroup = strValue.substr(prefix.size());
  } else if (strValue.empty()) {
    designation.m_kind = Kind::kNone;
  } else {
    designation.m_kind = strValue == strComputer ? Kind::kThisComputer : Kind::kAnotherComputer;
  }
  return designation;
}

std::optional<std::string> Designation::Refusal(bool bMember,
                                                const std::string& strWantedGroup) const {
  const bool bGroup = m_kind == Kind::kGroup;
  if (bGroup && !bMember) return MemberNeededText(m_strGroup);
  if (bMember && !bGroup) return std::string(kNotInGroupModeText);
  // Another computer, or another group, is designated.
  if (bMember ? !strWantedGroup.empty() && strWantedGroup != m_strGroup
              : m_kind == Kind::kAnotherComputer) {
    return "Error. This is not the PC designated to run the service, only '" + m_strValue +
           "' is allowed to run the service";
  }
  return std::nullopt;
}

}  // namespace korvex7::internal::group
