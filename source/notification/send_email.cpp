#include "source/notification/send_email.h"

#include <curl/curl.h>

#include <charconv>
#include <cstring>
#include <ctime>
#include <memory>
#include <stdexcept>

namespace korvel {
namespace {

// The sender the notice comes from. Local mail servers of the clinics accept it; a
// server that insists on a known domain refuses the message and the error says so.
constexpr const char* kSender = "korvel@localhost";
constexpr const char* kSubject = "ERREUR Quessa";
constexpr const char* kBody = "Korvel Transfert terminé.";

// The port as Delphi's StrToInt would take it, but only 1..65535: an error before any
// connection is tried.
long ParsePort(const std::string& text) {
  long port = -1;
  const char* first = text.data();
  const char* last = text.data() + text.size();
  const auto [end, ec] = std::from_chars(first, last, port);
  if (text.empty() || ec != std::errc() || end != last || port < 1 || port > 65535) {
    throw std::invalid_argument("'" + text + "' n'est pas un numéro de port valide");
  }
  return port;
}

// A line break inside an address would let a setting add its own mail headers.
void RejectLineBreaks(const std::string& text, const char* what) {
  if (text.find_first_of("\r\n") != std::string::npos) {
    throw std::invalid_argument(std::string(what) + " contient un saut de ligne");
  }
}

// RFC 5322 date in UTC, spelled out by hand so that the locale never changes it.
std::string MailDate() {
  static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%s, %02d %s %04d %02d:%02d:%02d +0000", kDays[utc.tm_wday], utc.tm_mday,
                kMonths[utc.tm_mon], utc.tm_year + 1900, utc.tm_hour, utc.tm_min, utc.tm_sec);
  return buffer;
}

// The body is UTF-8; quoted-printable keeps the message 7-bit, so the "é" arrives
// intact through servers that do not announce 8BITMIME.
std::string QuotedPrintable(const std::string& text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (const unsigned char c : text) {
    if ((c >= 33 && c <= 126 && c != '=') || c == ' ') {
      out += static_cast<char>(c);
    } else {
      out += '=';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

struct Upload {
  std::string data;
  size_t sent = 0;
};

size_t ReadPayload(char* buffer, size_t size, size_t count, void* user) {
  auto* upload = static_cast<Upload*>(user);
  const size_t n = std::min(size * count, upload->data.size() - upload->sent);
  std::memcpy(buffer, upload->data.data() + upload->sent, n);
  upload->sent += n;
  return n;
}

struct CurlDeleter {
  void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};
struct SlistDeleter {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

}  // namespace

void SendEmail(const std::string& smtpHost, const std::string& port, const std::string& recipient) {
  const long port_number = ParsePort(port);
  RejectLineBreaks(smtpHost, "Le serveur SMTP");
  RejectLineBreaks(recipient, "Le destinataire");

  static const CURLcode global_init = curl_global_init(CURL_GLOBAL_DEFAULT);
  if (global_init != CURLE_OK) throw std::runtime_error(curl_easy_strerror(global_init));

  std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
  if (!curl) throw std::runtime_error("curl_easy_init a échoué");

  Upload upload;
  upload.data = "Date: " + MailDate() + "\r\n" + "To: <" + recipient + ">\r\n" + "From: <" + kSender + ">\r\n" +
                "Subject: " + kSubject + "\r\n" +
                "MIME-Version: 1.0\r\n"
                "Content-Type: text/plain; charset=UTF-8\r\n"
                "Content-Transfer-Encoding: quoted-printable\r\n"
                "\r\n" +
                QuotedPrintable(kBody) + "\r\n";

  std::unique_ptr<curl_slist, SlistDeleter> recipients(curl_slist_append(nullptr, ("<" + recipient + ">").c_str()));
  const std::string url = "smtp://" + smtpHost + ":" + std::to_string(port_number);
  char error[CURL_ERROR_SIZE] = "";

  CURL* handle = curl.get();
  curl_easy_setopt(handle, CURLOPT_ERRORBUFFER, error);
  curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
  // Plain SMTP only: no TLS upgrade, no authentication.
  curl_easy_setopt(handle, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_NONE));
  curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "smtp");
  curl_easy_setopt(handle, CURLOPT_MAIL_FROM, (std::string("<") + kSender + ">").c_str());
  curl_easy_setopt(handle, CURLOPT_MAIL_RCPT, recipients.get());
  curl_easy_setopt(handle, CURLOPT_READFUNCTION, ReadPayload);
  curl_easy_setopt(handle, CURLOPT_READDATA, &upload);
  curl_easy_setopt(handle, CURLOPT_UPLOAD, 1L);
  // The window is frozen while this runs: do not wait minutes for a dead server.
  curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT, 30L);
  curl_easy_setopt(handle, CURLOPT_TIMEOUT, 120L);
  curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);

  const CURLcode result = curl_easy_perform(handle);
  if (result != CURLE_OK) {
    throw std::runtime_error(std::string("SMTP ") + smtpHost + ":" + std::to_string(port_number) + ": " +
                             (error[0] ? error : curl_easy_strerror(result)));
  }
}

}  // namespace korvel
