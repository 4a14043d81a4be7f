#include <gtest/gtest.h>

#include <stdexcept>

#include "notification/smtp_sink.h"
#include "source/notification/send_email.h"
#include "support/target_db.h"

namespace korvel {
namespace {

class EmailTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    ASSERT_TRUE(sink.Start(&why)) << why;
  }
  testing::SmtpSink sink{testing::ScratchDir() + "/mail"};
};

TEST_F(EmailTest, TheServerReceivesExactlyTheSubjectAndTheBody) {
  SendEmail("127.0.0.1", sink.Port(), "operateur@clinique.example");
  const auto messages = sink.Messages();
  ASSERT_EQ(messages.size(), 1u);
  const auto& m = messages[0];
  EXPECT_EQ(m.at("subject"), "ERREUR Quessa");
  EXPECT_EQ(m.at("body"), "Korvel Transfert terminé.");  // the accent decoded intact
  EXPECT_EQ(m.at("rcpt"), "operateur@clinique.example");
  EXPECT_EQ(m.at("to"), "operateur@clinique.example");
  EXPECT_EQ(m.at("mail_from"), "korvel@localhost");
}

// Ports that are not a number fail before any connection: nothing reaches the server,
// and the error is not a connection error.
TEST_F(EmailTest, APortThatIsNotANumberFailsBeforeConnecting) {
  for (const std::string port : {"", "abc", "25x", " 25", "-1", "0", "70000"}) {
    EXPECT_THROW(SendEmail("127.0.0.1", port, "operateur@clinique.example"), std::invalid_argument) << port;
  }
  EXPECT_TRUE(sink.Messages().empty());
}

TEST_F(EmailTest, ARecipientWithALineBreakIsRefused) {
  EXPECT_THROW(SendEmail("127.0.0.1", sink.Port(), "a@b.example\r\nBcc: c@d.example"), std::invalid_argument);
  EXPECT_TRUE(sink.Messages().empty());
}

TEST_F(EmailTest, AServerThatDoesNotAnswerRaisesCurlsMessage) {
  sink.Stop();
  try {
    SendEmail("127.0.0.1", sink.Port(), "operateur@clinique.example");
    FAIL() << "no error";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("127.0.0.1"), std::string::npos) << e.what();
  }
}

}  // namespace
}  // namespace korvel
