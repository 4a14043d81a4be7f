#include "global/fib/fib_blob.h"

#include <algorithm>

#include "global/fib/fib_client.h"

namespace korvel::fib {

ISC_QUAD WriteBlob(Firebird::IAttachment* att, Firebird::ITransaction* tr, const std::string& data) {
  return Call([&] {
    Status st;
    ISC_QUAD id;
    Firebird::IBlob* blob = att->createBlob(&st, tr, &id, 0, nullptr);
    try {
      constexpr size_t kSegment = 32768;
      for (size_t off = 0; off < data.size(); off += kSegment) {
        blob->putSegment(&st, static_cast<unsigned>(std::min(kSegment, data.size() - off)), data.data() + off);
      }
      blob->close(&st);
    } catch (...) {
      blob->release();
      throw;
    }
    return id;
  });
}

std::string ReadBlob(Firebird::IAttachment* att, Firebird::ITransaction* tr, ISC_QUAD id) {
  return Call([&] {
    Status st;
    Firebird::IBlob* blob = att->openBlob(&st, tr, &id, 0, nullptr);
    std::string data;
    try {
      char buf[16384];
      for (;;) {
        unsigned got = 0;
        const int rc = blob->getSegment(&st, sizeof buf, buf, &got);
        if (rc != Firebird::IStatus::RESULT_OK && rc != Firebird::IStatus::RESULT_SEGMENT) break;
        data.append(buf, got);
      }
      blob->close(&st);
    } catch (...) {
      blob->release();
      throw;
    }
    return data;
  });
}

}  // namespace korvel::fib
