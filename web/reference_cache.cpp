#include "web/reference_cache.h"

#include "dbaccess/recordset.h"

namespace web {

bool ReferenceCache::MachineExists(const std::string& machine_number,
                                   const dbaccess::ConnectionPtr& reads) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (loaded_ && machines_.count(machine_number) > 0) return true;
  Reload(reads);
  return machines_.count(machine_number) > 0;
}

bool ReferenceCache::CommandTypeExists(int32_t command_type_code,
                                       const dbaccess::ConnectionPtr& reads) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (loaded_ && command_types_.count(command_type_code) > 0) return true;
  Reload(reads);
  return command_types_.count(command_type_code) > 0;
}

void ReferenceCache::Reload(const dbaccess::ConnectionPtr& reads) {
  std::set<std::string> machines;
  dbaccess::Recordset machine_rows;
  machine_rows.Open("select MACHINE_NUMBER from T_SFC_MACHINE", reads);
  for (; !machine_rows.Eof(); machine_rows.MoveNext()) {
    const dbaccess::Variant& number = machine_rows.Fields(size_t{0}).Value();
    if (!number.IsNull()) machines.insert(number.ToText());
  }
  std::set<int32_t> command_types;
  dbaccess::Recordset command_rows;
  command_rows.Open("select distinct COMMAND_TYPE_CODE from T_SFC_COMMAND", reads);
  for (; !command_rows.Eof(); command_rows.MoveNext()) {
    const dbaccess::Variant& code = command_rows.Fields(size_t{0}).Value();
    if (!code.IsNull()) command_types.insert(code.ToLong());
  }
  machines_ = std::move(machines);
  command_types_ = std::move(command_types);
  loaded_ = true;
}

}  // namespace web
