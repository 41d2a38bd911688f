// Option 14: who processes a database's log. Its value is a computer's name,
// "group:NAME" for a database in group mode, or "" before any collector ran.
// Designation reads the value as one collector sees it and says why that
// collector may not process, with every refusal text of the designation
// here. Pure values; safe from any thread.
#ifndef VOLTRANE_LIBRARY_GROUP_DESIGNATION_H_
#define VOLTRANE_LIBRARY_GROUP_DESIGNATION_H_

#include <optional>
#include <string>

namespace korvex7::internal::group {

// Option 14's value for a database in group mode is this prefix and the name.
inline constexpr const char* kDesignationPrefix = "group:";

// The refusals every way into group mode shares.
inline constexpr const char* kNotInGroupModeText =
    "Error. This database is not in group mode (korvex7 group create NAME turns it to one)";
// A database kind without collector groups, named as the dialect displays it.
std::string ServerDatabaseNeededText(const std::string& strKindName);
// A collector without a member name on a database of group strGroup.
std::string MemberNeededText(const std::string& strGroup);

class Designation {
 public:
  enum class Kind {
    kNone,             // nobody yet: the first collector that processes takes it
    kThisComputer,     // the computer reading it
    kAnotherComputer,  // some other computer
    kGroup,            // a collector group
  };

  // strValue as read by the collector on computer strComputer.
  static Designation Parse(const std::string& strValue, const std::string& strComputer);

  Kind kind() const { return m_kind; }
  // The group's name (kGroup), else "".
  const std::string& group() const { return m_strGroup; }

  // Why a collector may not process under this designation: as a member
  // (bMember) of group strWantedGroup ("" for whatever group it names), or
  // alone. nullopt when it may.
  std::optional<std::string> Refusal(bool bMember, const std::string& strWantedGroup) const;

 private:
  Kind m_kind = Kind::kNone;
  std::string m_strValue;  // as stored
  std::string m_strGroup;
};

}  // namespace korvex7::internal::group

#endif  // VOLTRANE_LIBRARY_GROUP_DESIGNATION_H_
