// CProfsSchema: the field layout of the host calendar's desktop table.
//
// The Date Book layout of the table library (fields 0 to 14) plus field 15, the host entry number
// that the host driver gives every entry it extracts (an integer field).
#ifndef DBC_CONDUIT_FORMAT_PROFS_SCHEMA_H_
#define DBC_CONDUIT_FORMAT_PROFS_SCHEMA_H_

#include <stdint.h>

#include "tablelib/schema.h"

// Field index of the host entry number.
constexpr int32_t kHostEntryNumberField = 15;
// Number of fields of a CProfsSchema row.
constexpr int32_t kProfsFieldCount = 16;
// The sizing value that CProfsTable builds its schema with.
constexpr int32_t kProfsSchemaSizeHint = 54;
// The schema number under which CProfsTable and CProfsSchema are registered.
constexpr int32_t kProfsSchemaNumber = 1;

class CProfsSchema : public CDateBkSchema {
 public:
  // Registered as "CProfsSchema" (kProfsSchemaNumber) and creatable by name through
  // CClassRegistry<CBaseSchema>; this constructor is the one creation by name uses.
  CProfsSchema();
  // Passes field_count to the Date Book schema's constructor of the same form.
  explicit CProfsSchema(int32_t field_count);

  // Sets up the 16-field layout: type codes 1,1,1,3,1,5,1,5,6,6,1,6,1,1,8,1 and the record ID,
  // status, category and position fields 0, 1, 10 and 2. Answers 0.
  int32_t DefineSchema() override;
};

#endif  // DBC_CONDUIT_FORMAT_PROFS_SCHEMA_H_
