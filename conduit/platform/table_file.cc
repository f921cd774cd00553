#include "conduit/platform/table_file.h"

#include "sdk/fault_points.h"
#include "tablelib/table.h"
#include "tablelib/table_errors.h"

int32_t SaveTableFile(CBaseTable& table, const std::string& path) {
  if (HsFaultPoint(HS_FAULT_FILE_SAVE) != 0) return kTblErrIo;
  return table.SaveTo(path);
}
