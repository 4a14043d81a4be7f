#include "global/fib/fib_services.h"

#include <memory>

#include "global/fib/fib_client.h"
#include "global/string_utils.h"
#include "global/text_encoding.h"

namespace korvel::fib {
namespace {

struct XpbDisposer {
  void operator()(Firebird::IXpbBuilder* p) const { p->dispose(); }
};
using XpbPtr = std::unique_ptr<Firebird::IXpbBuilder, XpbDisposer>;

unsigned ReadLe16(const unsigned char* p) { return static_cast<unsigned>(p[0] | (p[1] << 8)); }

// Start blocks are small and fixed; built by hand like the query blocks.
void PutString(std::vector<unsigned char>& spb, unsigned char tag, const std::string& value) {
  spb.push_back(tag);
  spb.push_back(static_cast<unsigned char>(value.size() & 0xFF));
  spb.push_back(static_cast<unsigned char>(value.size() >> 8));
  spb.insert(spb.end(), value.begin(), value.end());
}

void PutInt(std::vector<unsigned char>& spb, unsigned char tag, unsigned value) {
  spb.push_back(tag);
  for (int i = 0; i < 4; ++i) spb.push_back(static_cast<unsigned char>(value >> (8 * i)));
}

}  // namespace

TpFIBService::~TpFIBService() {
  try {
    Detach();
  } catch (...) {
  }
}

void TpFIBService::Attach() {
  if (service_) return;
  const std::string service = ServerName.empty() ? "service_mgr" : ServerName + ":service_mgr";
  Call([&] {
    Status st;
    XpbPtr spb(Util()->getXpbBuilder(&st, Firebird::IXpbBuilder::SPB_ATTACH, nullptr, 0));
    for (const std::string& param : Params) {
      const size_t eq = param.find('=');
      const std::string name = LowerCase(Trim(param.substr(0, eq)));
      const std::string value = eq == std::string::npos ? std::string() : param.substr(eq + 1);
      if (name == "user_name") {
        spb->insertString(&st, isc_spb_user_name, value.c_str());
      } else if (name == "password") {
        spb->insertString(&st, isc_spb_password, value.c_str());
      } else if (name == "sql_role_name") {
        spb->insertString(&st, isc_spb_sql_role_name, value.c_str());
      } else {
        throw EDatabaseError("Unknown service parameter \"" + param + "\"");
      }
    }
    service_ = Provider()->attachServiceManager(&st, service.c_str(), spb->getBufferLength(&st), spb->getBuffer(&st));
  });
}

void TpFIBService::Detach() {
  if (!service_) return;
  Firebird::IService* svc = service_;
  service_ = nullptr;
  running_ = false;
  try {
    Status st;
    svc->detach(&st);
  } catch (const Firebird::FbException& e) {
    svc->release();
    throw ToDatabaseError(e.getStatus());
  }
}

void TpFIBService::Start(const std::vector<unsigned char>& spb) {
  if (!service_) throw EDatabaseError("Service manager not attached");
  Call([&] {
    Status st;
    service_->start(&st, static_cast<unsigned>(spb.size()), spb.data());
  });
  running_ = true;
}

void TpFIBService::StartBackup(const std::string& database_path, const std::string& backup_path, bool verbose) {
  std::vector<unsigned char> spb{isc_action_svc_backup};
  PutString(spb, isc_spb_dbname, database_path);
  PutString(spb, isc_spb_bkp_file, backup_path);
  PutInt(spb, isc_spb_options, isc_spb_bkp_no_garbage_collect);
  if (verbose) spb.push_back(isc_spb_verbose);
  Start(spb);
}

void TpFIBService::StartRestore(const std::string& backup_path, const std::string& database_path, unsigned page_size,
                                bool verbose) {
  std::vector<unsigned char> spb{isc_action_svc_restore};
  PutString(spb, isc_spb_bkp_file, backup_path);
  PutString(spb, isc_spb_dbname, database_path);
  PutInt(spb, isc_spb_options, isc_spb_res_replace);
  PutInt(spb, isc_spb_res_page_size, page_size);
  if (verbose) spb.push_back(isc_spb_verbose);
  Start(spb);
}

bool TpFIBService::GetNextLine(std::string& line) {
  if (!service_ || !running_) return false;
  const unsigned char items[] = {isc_info_svc_line};
  unsigned char buf[2048];
  for (;;) {
    Call([&] {
      Status st;
      service_->query(&st, 0, nullptr, sizeof items, items, sizeof buf, buf);
    });
    bool again = false;
    for (const unsigned char* p = buf; p < buf + sizeof buf && *p != isc_info_end;) {
      const unsigned char tag = *p++;
      if (tag == isc_info_svc_line) {
        const unsigned len = ReadLe16(p);
        p += 2;
        if (len > 0) {
          line = Cp1252ToUtf8(std::string_view(reinterpret_cast<const char*>(p), len));
          return true;
        }
        p += len;
      } else if (tag == isc_info_truncated || tag == isc_info_data_not_ready || tag == isc_info_svc_timeout) {
        again = true;
      } else {
        break;
      }
    }
    if (!again) {
      running_ = false;
      return false;
    }
  }
}

std::vector<std::string> TpFIBService::DisplayUsers() {
  Start({isc_action_svc_display_user});
  std::string raw;
  const unsigned char items[] = {isc_info_svc_get_users};
  unsigned char buf[8192];
  for (bool more = true; more;) {
    Call([&] {
      Status st;
      service_->query(&st, 0, nullptr, sizeof items, items, sizeof buf, buf);
    });
    more = false;
    for (const unsigned char* p = buf; p < buf + sizeof buf && *p != isc_info_end;) {
      const unsigned char tag = *p++;
      if (tag == isc_info_svc_get_users) {
        const unsigned len = ReadLe16(p);
        raw.append(reinterpret_cast<const char*>(p + 2), len);
        p += 2 + len;
        more = more || len > 0;
      } else if (tag == isc_info_truncated || tag == isc_info_data_not_ready) {
        more = true;
      } else {
        break;
      }
    }
  }
  running_ = false;
  std::vector<std::string> users;
  for (size_t i = 0; i < raw.size();) {
    const auto tag = static_cast<unsigned char>(raw[i++]);
    if (tag == isc_spb_sec_userid || tag == isc_spb_sec_groupid || tag == isc_spb_sec_admin) {
      i += 4;
      continue;
    }
    if (i + 2 > raw.size()) break;
    const unsigned len = ReadLe16(reinterpret_cast<const unsigned char*>(raw.data() + i));
    if (tag == isc_spb_sec_username) users.push_back(raw.substr(i + 2, len));
    i += 2 + len;
  }
  return users;
}

void TpFIBService::AddUser(const std::string& name, const std::string& password) {
  std::vector<unsigned char> spb{isc_action_svc_add_user};
  PutString(spb, isc_spb_sec_username, name);
  PutString(spb, isc_spb_sec_password, password);
  Start(spb);
  std::string line;
  while (GetNextLine(line)) {
  }
}

}  // namespace korvel::fib
