#include "global/fib/fib_client.h"

#include <vector>

#include "global/text_encoding.h"

namespace korvel::fib {

Firebird::IMaster* Master() {
  static Firebird::IMaster* const master = Firebird::fb_get_master_interface();
  return master;
}

Firebird::IUtil* Util() {
  static Firebird::IUtil* const util = Master()->getUtilInterface();
  return util;
}

Firebird::IProvider* Provider() {
  // Kept for the life of the process, like the master interface.
  static Firebird::IProvider* const provider = Master()->getDispatcher();
  return provider;
}

EDatabaseError ToDatabaseError(const Firebird::IStatus* status) {
  std::vector<int64_t> codes;
  const intptr_t* v = const_cast<Firebird::IStatus*>(status)->getErrors();
  for (const intptr_t* p = v; *p != isc_arg_end; p += (*p == isc_arg_cstring) ? 3 : 2) {
    if (*p == isc_arg_gds) codes.push_back(p[1]);
  }
  char buf[2048];
  Util()->formatStatus(buf, sizeof buf, const_cast<Firebird::IStatus*>(status));
  // Server texts quote data (a key value) in the connection character set.
  std::string text = Cp1252ToUtf8(buf);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return EDatabaseError(text, std::move(codes));
}

}  // namespace korvel::fib
