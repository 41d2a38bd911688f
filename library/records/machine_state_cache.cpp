// The kept current records (machine_state_cache.h). Processing thread only.
#include "library/records/machine_state_cache.h"

#include <atomic>
#include <charconv>
#include <system_error>
#include <utility>

#include "base/ascii_case.h"
#include "dbaccess/database_kind.h"

namespace korvex7::internal {

namespace {

std::atomic<bool> g_bMachineStateCaching{true};
std::atomic<int64_t> g_lMachineStateHits{0};

}  // namespace

void SetMachineStateCaching(bool on) { g_bMachineStateCaching = on; }
bool MachineStateCaching() { return g_bMachineStateCaching; }
int64_t MachineStateHits() { return g_lMachineStateHits; }

MachineStateCache::MachineStateCache(Session& session)
    : m_session(session), m_self(std::make_shared<MachineStateCache*>(this)) {
  m_session.SetCloseObserver([this](dbaccess::Recordset& rs) { BeforeClose(rs); });
}

MachineStateCache::~MachineStateCache() { m_session.SetCloseObserver(nullptr); }

bool MachineStateCache::Usable() const {
  // The other kinds run stored procedures that write the record themselves.
  const int32_t lType = m_session.DatabaseType();
  return MachineStateCaching() &&
         (lType == voltrane::dbkind::kSqlite || lType == voltrane::dbkind::kPostgreSql);
}

std::optional<MachineStateCache::Stamp> MachineStateCache::StampNow(int32_t lMachineID) const {
  if (!Usable()) return std::nullopt;
  const std::optional<Session::OwnershipToken> token = m_session.MachineOwnership(lMachineID);
  const dbaccess::ConnectionPtr& connection = m_session.connection();
  if (!token || !connection->IsOpen()) return std::nullopt;
  return Stamp{*token, m_session.RollbackCount(), m_session.MachineStateEpoch(), connection.get()};
}

bool MachineStateCache::StillValid(int32_t lMachineID, const Stamp& stamp) const {
  const std::optional<Stamp> now = StampNow(lMachineID);
  return now && *now == stamp;
}

bool MachineStateCache::OtherRecordsetOpen(int32_t lMachineDataID) {
  auto [first, last] = m_others.equal_range(lMachineDataID);
  bool bOpen = false;
  for (auto it = first; it != last;) {
    const dbaccess::RecordsetPtr rs = it->second.lock();
    if (!rs || !rs->IsOpen()) {
      it = m_others.erase(it);
    } else {
      bOpen = true;
      ++it;
    }
  }
  return bOpen;
}

namespace {

// What the database gives back for a value the caller wrote into a column of
// that type, or nothing when that is not certain (then the row is read
// again). Single-precision columns keep a float's value.
std::optional<dbaccess::Variant> AsStored(const dbaccess::ColumnInfo& column,
                                          const dbaccess::Variant& value) {
  using dbaccess::FieldType;
  using dbaccess::VariantType;
  const VariantType type = value.Type();
  if (type == VariantType::kNull || type == VariantType::kEmpty) return dbaccess::Variant::Null();
  switch (column.type) {
    case FieldType::kInteger:
      if (type == VariantType::kInteger) return value;
      if (type == VariantType::kDouble &&
          value.ToDouble() == static_cast<double>(static_cast<int64_t>(value.ToDouble()))) {
        return dbaccess::Variant(static_cast<long long>(value.ToDouble()));
      }
      return std::nullopt;
    case FieldType::kDouble: {
      if (type != VariantType::kDouble && type != VariantType::kInteger) return std::nullopt;
      const double dValue = value.ToDouble();
      constexpr int kDoublePrecision = 15;
      if (column.precision < kDoublePrecision) {
        // The server sends a single-precision value as its shortest text
        // that reads back as the same float; that text is what is read.
        char text[32];
        const auto written = std::to_chars(text, text + sizeof text, static_cast<float>(dValue));
        double dRead = 0;
        if (written.ec != std::errc() ||
            std::from_chars(text, written.ptr, dRead).ec != std::errc()) {
          return std::nullopt;
        }
        return dbaccess::Variant(dRead);
      }
      return dbaccess::Variant(dValue);
    }
    case FieldType::kDateTime:
      if (type == VariantType::kDateTime) return value;
      return std::nullopt;
    case FieldType::kText:
      if (type == VariantType::kText) return value;
      return std::nullopt;
    case FieldType::kDecimal:
    case FieldType::kBoolean:
    case FieldType::kBinary:
      return std::nullopt;
  }
  return std::nullopt;
}

}  // namespace

namespace {

bool SameColumns(const std::vector<dbaccess::ColumnInfo>& a,
                 const std::vector<dbaccess::ColumnInfo>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i].name != b[i].name || a[i].type != b[i].type ||
        a[i].defined_size != b[i].defined_size || a[i].precision != b[i].precision ||
        a[i].scale != b[i].scale || a[i].nullable != b[i].nullable ||
        a[i].base_table != b[i].base_table || a[i].base_column != b[i].base_column) {
      return false;
    }
  }
  return true;
}

}  // namespace

bool MachineStateCache::TakeRow(dbaccess::Recordset& rs, Entry& entry) {
  if (!rs.IsOpen() || rs.EditPending() || rs.RecordCount() != 1 || rs.Eof() || rs.Bof() ||
      rs.FieldCount() != entry.original.size() || !entry.columns ||
      !SameColumns(*entry.columns, rs.Columns())) {
    return false;
  }
  std::vector<dbaccess::Variant> row;
  row.reserve(rs.FieldCount());
  for (size_t i = 0; i < rs.FieldCount(); ++i) {
    const dbaccess::Variant& value = rs.Fields(i).Value();
    // A value as given stays; one the caller wrote is taken as stored.
    if (value == entry.original[i]) {
      row.push_back(value);
      continue;
    }
    std::optional<dbaccess::Variant> stored = AsStored((*entry.columns)[i], value);
    if (!stored) return false;
    row.push_back(std::move(*stored));
  }
  const dbaccess::Variant vID = rs.Fields("MACHINE_DATA_ID").Value();
  if (vID.IsNull() || vID.IsEmpty() || vID.ToLong() != entry.lRecordID) return false;
  entry.row = std::move(row);
  entry.original.clear();
  entry.handed.reset();
  return true;
}

dbaccess::RecordsetPtr MachineStateCache::HandOut(int32_t lMachineID, Entry& entry,
                                                  const std::string& strSource) {
  dbaccess::ResultTable table;
  table.columns = *entry.columns;
  table.rows.push_back(*entry.row);
  entry.original = std::move(*entry.row);
  entry.row.reset();
  entry.lHandout = ++m_lHandouts;
  const std::weak_ptr<MachineStateCache*> self = m_self;
  const uint64_t lHandout = entry.lHandout;
  dbaccess::RecordsetPtr rs(new dbaccess::Recordset, [self, lMachineID,
                                                       lHandout](dbaccess::Recordset* p) {
    try {
      if (const std::shared_ptr<MachineStateCache*> cache = self.lock()) {
        (*cache)->Released(lMachineID, lHandout, *p);
      }
    } catch (...) {
      // The row is read again next time; a deleter must not throw.
    }
    delete p;
  });
  rs->OpenFromResult(std::move(table), m_session.connection(), strSource);
  entry.handed = rs;
  return rs;
}

void MachineStateCache::Released(int32_t lMachineID, uint64_t lHandout, dbaccess::Recordset& rs) {
  auto it = m_entries.find(lMachineID);
  if (it == m_entries.end() || it->second.lHandout != lHandout || it->second.row) return;
  // Its last holder let it go: it is written through no more.
  if (!TakeRow(rs, it->second)) m_entries.erase(it);
}

void MachineStateCache::BeforeClose(dbaccess::Recordset& rs) {
  for (auto it = m_entries.begin(); it != m_entries.end(); ++it) {
    Entry& entry = it->second;
    if (entry.row || entry.handed.lock().get() != &rs) continue;
    // Closed, it is written through no more.
    if (!TakeRow(rs, entry)) m_entries.erase(it);
    return;
  }
}

MachineStateCache::Entries::iterator MachineStateCache::SettledEntry(int32_t lMachineID) {
  auto it = m_entries.find(lMachineID);
  if (it == m_entries.end()) return it;
  Entry& entry = it->second;
  // A recordset its caller still holds may yet be written through.
  if (!entry.row || !entry.handed.expired() || !StillValid(lMachineID, entry.stamp) ||
      OtherRecordsetOpen(entry.lRecordID)) {
    DropEntry(it);
    return m_entries.end();
  }
  return it;
}

dbaccess::RecordsetPtr MachineStateCache::CurrentRecord(int32_t lMachineID,
                                                        const std::string& strSource) {
  auto it = SettledEntry(lMachineID);
  if (it == m_entries.end()) return nullptr;
  ++g_lMachineStateHits;
  return HandOut(lMachineID, it->second, strSource);
}

dbaccess::RecordsetPtr MachineStateCache::KeepCurrentRecord(int32_t lMachineID,
                                                            const dbaccess::RecordsetPtr& rs,
                                                            const std::string& strSource) {
  ForgetMachine(lMachineID);
  if (!rs || !rs->IsOpen() || rs->Eof() || rs->RecordCount() != 1) return rs;
  const std::optional<Stamp> stamp = StampNow(lMachineID);
  if (!stamp) return rs;
  Entry entry;
  entry.lRecordID = rs->Fields("MACHINE_DATA_ID").Value().ToLong();
  if (OtherRecordsetOpen(entry.lRecordID)) return rs;
  entry.stamp = *stamp;
  if (!m_columns || !SameColumns(*m_columns, rs->Columns())) {
    m_columns = std::make_shared<const std::vector<dbaccess::ColumnInfo>>(rs->Columns());
  }
  entry.columns = m_columns;
  std::vector<dbaccess::Variant> row;
  for (size_t i = 0; i < rs->FieldCount(); ++i) row.push_back(rs->Fields(i).Value());
  entry.row = std::move(row);
  Entry& kept = m_entries.emplace(lMachineID, std::move(entry)).first->second;
  return HandOut(lMachineID, kept, strSource);
}

std::optional<dbaccess::Variant> MachineStateCache::PeekCurrentRecord(
    int32_t lMachineID, const std::string& strColumn) {
  auto it = SettledEntry(lMachineID);
  if (it == m_entries.end()) return std::nullopt;
  const Entry& entry = it->second;
  for (size_t i = 0; i < entry.columns->size(); ++i) {
    if (base::EqualsIgnoreCase((*entry.columns)[i].name, strColumn)) {
      ++g_lMachineStateHits;
      return (*entry.row)[i];
    }
  }
  return std::nullopt;
}

std::optional<int32_t> MachineStateCache::Status(int32_t lMachineID) {
  auto it = m_statuses.find(lMachineID);
  if (it == m_statuses.end()) return std::nullopt;
  if (!StillValid(lMachineID, it->second.second)) {
    m_statuses.erase(it);
    return std::nullopt;
  }
  ++g_lMachineStateHits;
  return it->second.first;
}

void MachineStateCache::KeepStatus(int32_t lMachineID, int32_t lStatus) {
  const std::optional<Stamp> stamp = StampNow(lMachineID);
  if (!stamp) {
    m_statuses.erase(lMachineID);
    return;
  }
  m_statuses[lMachineID] = {lStatus, *stamp};
}

void MachineStateCache::DropEntry(Entries::iterator it) {
  const dbaccess::RecordsetPtr rs = it->second.handed.lock();
  if (rs && rs->IsOpen()) m_others.emplace(it->second.lRecordID, rs);
  m_entries.erase(it);
}

void MachineStateCache::WatchOtherRecordset(int32_t lMachineDataID,
                                            const dbaccess::RecordsetPtr& rs) {
  if (!Usable()) return;
  ForgetRecord(lMachineDataID);
  OtherRecordsetOpen(lMachineDataID);  // prunes the ones gone
  m_others.emplace(lMachineDataID, rs);
}

void MachineStateCache::ForgetMachine(int32_t lMachineID) {
  auto it = m_entries.find(lMachineID);
  if (it != m_entries.end()) DropEntry(it);
}

void MachineStateCache::ForgetRecord(int32_t lMachineDataID) {
  for (auto it = m_entries.begin(); it != m_entries.end();) {
    if (it->second.lRecordID == lMachineDataID) {
      DropEntry(it++);
    } else {
      ++it;
    }
  }
}

void MachineStateCache::ForgetAll() {
  m_statuses.clear();
  while (!m_entries.empty()) DropEntry(m_entries.begin());
}

}  // namespace korvex7::internal
