#include <gtest/gtest.h>

#include <QRandomGenerator>
#include <functional>
#include <thread>

#include "platform/foundation/UserDefaults.h"
#include "scanner/Keychain.h"
#include "scanner/OXOmbrixAPI.h"
#include "tests/support/StandIn.h"
#include "tests/support/TestUtil.h"

namespace {

// What the session keeps: e-mail, user id, token, expiry, and the keychain password of `account`.
QString stored(const QString& account) {
  OXOmbrixAPI api;
  const qint64 left = api.expireToken().isValid() ? QDateTime::currentDateTimeUtc().secsTo(api.expireToken()) : -1;
  return QStringList{api.email(), api.userID().toString(), api.token().isEmpty() ? "-" : "token",
                     left > 3500 && left <= 3600 ? "1h" : left < 0 ? "-" : "?",
                     ox::keychainPassword(QStringLiteral("OmbrixMac"), account).value_or(QStringLiteral("-"))}
      .join(u' ');
}

QVariantList requestsTo(const QString& route) {
  QVariantList seen;
  for (const QVariant& r : oxtest::StandIn::shared().requests(QStringLiteral("api")))
    if (r.toMap().value("route") == route) seen << r;
  return seen;
}

}  // namespace

// The account's life against the stand-in of the cloud API, with the stored session checked after each step.
TEST(OXOmbrixAPIStandIn, SignUpLoginRenewalChallengeAndLogOut) {
  ASSERT_TRUE(oxtest::StandIn::shared().isRunning());
  ox::UserDefaults::setApplicationName(QStringLiteral("OmbrixTest-StandIn"));
  OXOmbrixAPI api;
  api.logOut();
  const QString mail = QStringLiteral("new%1@ombrix.test").arg(QRandomGenerator::global()->generate());

  ASSERT_TRUE(api.createUserWithNickname(mail, mail, QStringLiteral("s3cret")));
  const QString id = api.userID().toString();
  EXPECT_GT(id.toInt(), 500);
  EXPECT_EQ(stored(mail), QStringList({mail, id, "-", "-", "s3cret"}).join(u' '));
  const QString field = QString::fromLatin1(QUrl::toPercentEncoding(mail));
  EXPECT_EQ(requestsTo("/v1/users").value(0).toMap().value("body").toString(),
            "email=" + field + "&nickname=" + field + "&password=s3cret");
  EXPECT_FALSE(api.createUserWithNickname(mail, mail, QStringLiteral("again")));  // already registered

  // The first authenticated call renews; the asynchronous one then answers the server's challenge.
  QVariant answer;
  OXOmbrixAPIErrorOut error;
  bool done = false;
  api.resetUserPassword(mail, [&](const QVariant& a, const OXOmbrixAPIErrorOut& e) {
    answer = a;
    error = e;
    done = true;
  });
  ASSERT_TRUE(oxtest::spinUntil([&] { return done; }));
  EXPECT_FALSE(error.has_value());
  EXPECT_EQ(answer.toMap().value("user"), mail);  // the multipart form arrived whole
  EXPECT_EQ(stored(mail), QStringList({mail, id, "token", "1h", "s3cret"}).join(u' '));
  const QVariantList reset = requestsTo("/v1/users/reset-password");
  ASSERT_EQ(reset.size(), 2);
  EXPECT_FALSE(reset[0].toMap().value("headers").toMap().contains("authorization"));
  EXPECT_TRUE(reset[1].toMap().value("headers").toMap().contains("authorization"));

  // Log-out forgets everything, locally only.
  const int sent = oxtest::StandIn::shared().requests(QStringLiteral("api")).size();
  api.logOut();
  EXPECT_EQ(stored(mail), "  - - -");
  EXPECT_EQ(oxtest::StandIn::shared().requests(QStringLiteral("api")).size(), sent);

  EXPECT_FALSE(api.loginWithEmail(mail, QStringLiteral("wrong")));
  EXPECT_EQ(stored(mail), "  - - -");
  ASSERT_TRUE(api.loginWithEmail(mail, QStringLiteral("s3cret")));
  EXPECT_EQ(stored(mail), QStringList({mail, id, "token", "1h", "s3cret"}).join(u' '));
  const QString firstToken = api.token();

  // An expired session is renewed before the request goes out; the popular list resolves through the look-up.
  api.setExpireToken(QDateTime::currentDateTimeUtc().addSecs(-5));
  EXPECT_FALSE(api.getHomeMovieContents().toList().isEmpty());
  EXPECT_NE(api.token(), firstToken);
  EXPECT_EQ(stored(mail), QStringList({mail, id, "token", "1h", "s3cret"}).join(u' '));

  api.logOut();
  EXPECT_EQ(stored(mail), "  - - -");
}

// A renewal in the background that the service holds while the person logs out, or logs in again: its answer, when
// it comes, undoes neither.
TEST(OXOmbrixAPIStandIn, ARenewalThatOutlastsALogOutOrALoginStoresNothing) {
  oxtest::StandIn& standIn = oxtest::StandIn::shared();
  ASSERT_TRUE(standIn.isRunning());
  ox::UserDefaults::setApplicationName(QStringLiteral("OmbrixTest-StandIn"));
  OXOmbrixAPI api;
  const QString mail = QStringLiteral("renewer%1@ombrix.test").arg(QRandomGenerator::global()->generate());
  const OXOmbrixAPI::Credentials account{mail, QStringLiteral("opensesame")};
  ASSERT_TRUE(api.createUserWithNickname(account.email, account.email, account.password));
  const auto renewalHeldOver = [&](const std::function<void()>& meanwhile) {
    standIn.clear();
    standIn.fault("api", "delay", 1, "/users/me/sessions", 60);  // answered once clear() releases it
    std::thread renewal([&account] { OXOmbrixAPI().renewStoredToken(account); });
    EXPECT_EQ(standIn.waitForRequests("api", 1, 20000).size(), 1);
    meanwhile();
    standIn.clear();
    renewal.join();
  };

  ASSERT_TRUE(api.loginWithEmail(account.email, account.password));
  renewalHeldOver([&] { api.logOut(); });
  EXPECT_EQ(stored(account.email), "  - - -");

  QString loginToken;
  renewalHeldOver([&] {
    EXPECT_TRUE(api.loginWithEmail(account.email, account.password));
    loginToken = api.token();
  });
  EXPECT_FALSE(loginToken.isEmpty());
  EXPECT_EQ(api.token(), loginToken);
  api.logOut();
}
