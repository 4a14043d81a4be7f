// Inserts sent to the server many rows at a time. Firebird 3 has no batch interface:
// the rows of a batch go as the parameters of one EXECUTE BLOCK holding one INSERT per
// row, so a batch costs one round trip instead of one per record. Each row's insert
// has its own handler: the first row the server refuses is undone alone and ends the
// block; it is sent again on its own, for the error the server gives it, and the rows
// after it follow in new blocks. Rows go in, and are refused, in their order, as one
// by one. Before that row is sent again, the generators its triggers use are set back
// to the values they had when it started in the block, so it meets exactly what it
// would one by one (a key a trigger makes from a generator included), and identifiers
// stay as they would be one by one (the migration is the target's only writer).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "global/database_error.h"
#include "global/fib/fib_query.h"
#include "global/variant.h"

namespace korvel {

class InsertBatch {
 public:
  // A refused row: its tag (given to Add) and the server's error.
  using RefusedRow = std::function<void(int64_t tag, const EDatabaseError& error)>;
  // A row a failed flush could not send (neither in nor refused).
  using UnsentRow = std::function<void(int64_t tag)>;

  // `single` is the prepared one-row insert "<head> VALUES(?, ...)", one marker per
  // parameter; `generators` those the table's insert triggers take values from. False
  // (and nothing batched) when a parameter's type cannot be declared in a block or the
  // generators cannot be read: what a flush needs is known before the first row.
  bool Start(fib::TpFIBQuery* single, const std::string& head, const std::vector<std::string>& generators);
  void Stop();
  bool Active() const { return single_ != nullptr; }
  size_t Pending() const { return rows_; }
  // Blocks the server ran whole.
  int64_t BlocksSent() const { return blocksSent_; }

  // Keeps the one-row statement's current parameters as the next row. True when the
  // batch is full: the caller sends it.
  bool Add(int64_t tag);
  // Sends every pending row. Each ends in the target, or handed to `refused`. When
  // `refused` raises, or the server fails for a reason that is no row's (a lost
  // connection), the rows not sent yet go to `unsent` and are dropped; a server failure
  // then raises ERoutineFault (the table cannot go on), `refused`'s own error goes on.
  void Flush(const RefusedRow& refused, const UnsentRow& unsent);
  // Takes the pending rows `drop` names out of the batch, unsent; the others keep their order.
  void Drop(const std::function<bool(int64_t tag)>& drop);
  // Forgets every pending row, unsent.
  void Discard() { rows_ = 0; }

 private:
  fib::TpFIBQuery& BlockOf(size_t rows);
  void SendRange(size_t first, size_t end, const RefusedRow& refused);
  // Sends rows [first, first + count) in one block; returns the first row not handled.
  size_t Send(size_t first, size_t count, const RefusedRow& refused);
  // Sends one row through the one-row statement.
  void SendAlone(size_t row, const RefusedRow& refused);
  // Sets the generators back to `values` (as read before a row ran in a block).
  void SetGenerators(const std::vector<int64_t>& values);
  std::vector<int64_t> GeneratorValues();

  fib::TpFIBQuery* single_ = nullptr;
  // Rows sent one by one go through a statement of their own: the one-row statement
  // may be half-filled with the next record when a log line sends the batch.
  std::unique_ptr<fib::TpFIBQuery> replay_;
  std::vector<std::string> generators_;
  std::unique_ptr<fib::TpFIBQuery> generatorQuery_;
  std::string head_;
  std::vector<std::string> types_;
  size_t width_ = 0;    // parameters per row
  size_t maxRows_ = 0;  // rows per block, a power of two
  // Rows held before the batch is full: wide rows go in several blocks of one flush,
  // so that a record's further rows, sent after them, wait for as many records.
  size_t capacity_ = 0;
  size_t rows_ = 0;
  size_t next_ = 0;          // during a flush: the first row not yet in nor refused
  bool in_refused_ = false;  // during a flush: the error comes from the refusal handler
  std::vector<TParamValue> values_;
  std::vector<int64_t> tags_;
  std::map<size_t, std::unique_ptr<fib::TpFIBQuery>> blocks_;
  int64_t blocksSent_ = 0;
};

}  // namespace korvel
