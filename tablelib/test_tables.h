// Tables for the table library's tests: a Date Book table with a wider schema (an extra integer
// field 15, as derived tables add) and one whose field 5 has another type.
#ifndef DBC_TABLELIB_TEST_TABLES_H_
#define DBC_TABLELIB_TEST_TABLES_H_

#include <memory>

#include "tablelib/schema.h"
#include "tablelib/table.h"

class CWideSchema : public CDateBkSchema {
 public:
  CWideSchema() : CDateBkSchema(54) {}
  int32_t DefineSchema() override {
    CDateBkSchema::DefineSchema();
    m_FieldsPerRow = 16;
    m_FieldTypeList.push_back(kFieldInteger);
    return 0;
  }
};

class CWideTable : public CDateBkTable {
 public:
  CWideTable() {
    auto schema = std::make_unique<CWideSchema>();
    schema->DefineSchema();
    SetSchema(std::move(schema));
  }
};

// Field 5 (the description in the Date Book layout) is an integer here.
class COtherSchema : public CDateBkSchema {
 public:
  int32_t DefineSchema() override {
    CDateBkSchema::DefineSchema();
    m_FieldTypeList[5] = kFieldInteger;
    return 0;
  }
};

class COtherTable : public CDateBkTable {
 public:
  COtherTable() {
    auto schema = std::make_unique<COtherSchema>();
    schema->DefineSchema();
    SetSchema(std::move(schema));
  }
};

#endif  // DBC_TABLELIB_TEST_TABLES_H_
