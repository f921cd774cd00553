// The synchronisation sorts the desktop and remote tables by record ID before every handheld
// record it matches, and appends between those sorts. These benchmarks show that the cost of
// "append one record, sort by ID, find by ID" grows with log n per step, so n steps grow
// near-linearly in n.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "tablelib/iterator.h"
#include "tablelib/record.h"
#include "tablelib/table.h"

namespace {

// Distinct record IDs in a random order, so that no order of appends favours the sort.
std::vector<uint32_t> ShuffledIds(int64_t n) {
  std::vector<uint32_t> ids(static_cast<size_t>(n));
  for (size_t i = 0; i < ids.size(); ++i) ids[i] = static_cast<uint32_t>(i * 7 + 1);
  std::mt19937 random(12345);
  std::shuffle(ids.begin(), ids.end(), random);
  return ids;
}

// n times, starting from an empty table: append a record, sort by ID, find a record by ID (the
// one just added and one added earlier).
void BM_AppendSortFind(benchmark::State& state) {
  const std::vector<uint32_t> ids = ShuffledIds(state.range(0));
  for (auto _ : state) {
    CDateBkTable table;
    CDateBkRecord added(table, 0), found(table, 0);
    CBaseIterator iterator(table);
    for (size_t i = 0; i < ids.size(); ++i) {
      table.AppendBlankRecord(added);
      added.SetRecordId(ids[i]);
      iterator.SortByRecordId();
      benchmark::DoNotOptimize(iterator.FindByRecordId(ids[i], found, 0));
      benchmark::DoNotOptimize(iterator.FindByRecordId(ids[i / 2], found, 0));
    }
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_AppendSortFind)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// One step on a table that already holds n records.
void BM_OneStepOnLargeTable(benchmark::State& state) {
  const std::vector<uint32_t> ids = ShuffledIds(state.range(0));
  CDateBkTable table;
  CDateBkRecord added(table, 0), found(table, 0);
  CBaseIterator iterator(table);
  for (uint32_t id : ids) {
    table.AppendBlankRecord(added);
    added.SetRecordId(id);
  }
  iterator.SortByRecordId();
  uint32_t next_id = 0x80000000u;
  size_t probe = 0;
  for (auto _ : state) {
    table.AppendBlankRecord(added);
    added.SetRecordId(next_id++);
    iterator.SortByRecordId();
    benchmark::DoNotOptimize(iterator.FindByRecordId(ids[probe++ % ids.size()], found, 0));
  }
}
BENCHMARK(BM_OneStepOnLargeTable)->Arg(1000)->Arg(10000)->Arg(100000);

// Sorting an unchanged table again.
void BM_SortUnchanged(benchmark::State& state) {
  const std::vector<uint32_t> ids = ShuffledIds(state.range(0));
  CDateBkTable table;
  CDateBkRecord added(table, 0);
  CBaseIterator iterator(table);
  for (uint32_t id : ids) {
    table.AppendBlankRecord(added);
    added.SetRecordId(id);
  }
  for (auto _ : state) benchmark::DoNotOptimize(iterator.SortByRecordId());
}
BENCHMARK(BM_SortUnchanged)->Arg(1000)->Arg(100000);

}  // namespace
