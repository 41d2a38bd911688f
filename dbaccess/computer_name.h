// This computer's name as the system reports it (gethostname), cut at the
// first NUL; "" when it cannot be read. The collector's default group member
// name and the manager's designation both use it.
#ifndef VOLTRANE_DBACCESS_COMPUTER_NAME_H_
#define VOLTRANE_DBACCESS_COMPUTER_NAME_H_

#include <string>

namespace voltrane {

std::string ComputerName();

}  // namespace voltrane

#endif  // VOLTRANE_DBACCESS_COMPUTER_NAME_H_
