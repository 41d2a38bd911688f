// Text as it may stand in XML and HTML content and attribute values.
#ifndef VOLTRANE_REPORTS_XML_TEXT_H_
#define VOLTRANE_REPORTS_XML_TEXT_H_

#include <string>

namespace reports {

// &, <, >, " and ' replaced by their entities.
std::string XmlEscape(const std::string& text);

}  // namespace reports

#endif  // VOLTRANE_REPORTS_XML_TEXT_H_
