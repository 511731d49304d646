// The HTTP client through a real proxy: tinyproxy, started here on a free port of 127.0.0.1
// with a configuration of its own, in front of the fault server.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>
#include <memory>
#include <string>

#include "http/download_url.h"
#include "servers/server_process.h"
#include "support/fake_host.h"
#include "support/temp_dir.h"

namespace {

using test_servers::ChildProcess;
using test_servers::FaultServer;

WString Wide(const std::string& ascii) { return WString(ascii.begin(), ascii.end()); }

class Tinyproxy {
 public:
  explicit Tinyproxy(const testing_support::TempDir& dir) : port_(test_servers::FreePort()) {
    std::string config = dir.File("tinyproxy.conf");
    std::ofstream(config, std::ios::binary) << "Port " << port_ << "\nListen 127.0.0.1\nTimeout 30\n"
                          << "MaxClients 20\nAllow 127.0.0.1\nLogLevel Error\n"
                          << "LogFile \"" << test_servers::PathForServer(dir.File("tinyproxy.log"))
                          << "\"\n";
    process_ = std::make_unique<ChildProcess>(
        std::vector<std::string>{"tinyproxy", "-d", "-c", config});
    if (!test_servers::WaitForPort(port_)) throw std::runtime_error("tinyproxy did not start");
  }
  std::string Address() const { return "127.0.0.1:" + std::to_string(port_); }

 private:
  int port_;
  std::unique_ptr<ChildProcess> process_;
};

// Sets an environment variable for the lifetime of the object.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, const std::string& value) : name_(name) {
    if (const char* old = getenv(name)) old_ = std::make_unique<std::string>(old);
    Set(name, value.c_str());
  }
  ~ScopedEnvironment() { Set(name_, old_ ? old_->c_str() : nullptr); }

 private:
  static void Set(const char* name, const char* value) {
#ifdef _WIN32
    _putenv_s(name, value != nullptr ? value : "");  // an empty value removes it there
#else
    if (value != nullptr) {
      setenv(name, value, 1);
    } else {
      unsetenv(name);
    }
#endif
  }

  const char* name_;
  std::unique_ptr<std::string> old_;
};

class HttpProxyTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new testing_support::TempDir();
    server_ = new FaultServer();
    proxy_ = new Tinyproxy(*dir_);
  }
  static void TearDownTestSuite() {
    delete proxy_;
    delete server_;
    delete dir_;
  }

  // The request head that reached the origin, fetched with the given proxy setting.
  static std::string Echo(const WString& proxy) {
    WString text;
    EXPECT_EQ(http::DownloadUrl(Wide(server_->Url("/echo")), text, proxy, 28591, u"", u"agent"), 1);
    return testing_support::Narrow(text);
  }
  static bool CameThroughProxy(const std::string& head) {
    return head.find("\r\nVia: 1.1 ") != std::string::npos &&
           head.find("tinyproxy") != std::string::npos;
  }

  static testing_support::TempDir* dir_;
  static FaultServer* server_;
  static Tinyproxy* proxy_;
};
testing_support::TempDir* HttpProxyTest::dir_ = nullptr;
FaultServer* HttpProxyTest::server_ = nullptr;
Tinyproxy* HttpProxyTest::proxy_ = nullptr;

TEST_F(HttpProxyTest, NamedProxyCarriesTheRequest) {
  struct Case {
    WString proxy;
    bool throughProxy;
  };
  ScopedEnvironment noEnvironmentProxy("http_proxy", "");
  const Case cases[] = {
      {Wide(proxy_->Address()), true},
      {u"  " + Wide(proxy_->Address()) + u"\t", true},
      {u"http://" + Wide(proxy_->Address()), true},
      {u"https=127.0.0.1:1;http=" + Wide(proxy_->Address()), true},
      {u"https=" + Wide(proxy_->Address()), false},  // nothing for plain http: direct
      {u" \t ", false},                               // blank: the default, none set here
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing_support::Narrow(c.proxy));
    EXPECT_EQ(CameThroughProxy(Echo(c.proxy)), c.throughProxy);
  }
}

TEST_F(HttpProxyTest, NamedProxyHasNoBypassList) {
  ScopedEnvironment bypass("no_proxy", "127.0.0.1,localhost");
  EXPECT_TRUE(CameThroughProxy(Echo(Wide(proxy_->Address()))));
}

// Windows takes its default proxy from the system's settings, not from the environment.
TEST_F(HttpProxyTest, DefaultProxyIsTheEnvironmentsOnPosix) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows' default proxy is the system's setting, not http_proxy";
#endif
  ScopedEnvironment proxy("http_proxy", "http://" + proxy_->Address());
  {
    ScopedEnvironment noBypass("no_proxy", "");
    EXPECT_TRUE(CameThroughProxy(Echo(u"")));
    EXPECT_TRUE(CameThroughProxy(Echo(u" \t ")));  // blanks name no proxy: the default's
  }
  ScopedEnvironment bypass("no_proxy", "127.0.0.1");
  EXPECT_FALSE(CameThroughProxy(Echo(u"")));
}

TEST_F(HttpProxyTest, ProxyErrorsReachTheCaller) {
  // The origin refuses through the proxy: the proxy's own answer is a failed status.
  WString text;
  EXPECT_EQ(http::DownloadUrl(
                u"http://127.0.0.1:" + Wide(std::to_string(test_servers::FreePort())) + u"/x", text,
                Wide(proxy_->Address()), 28591, u"", u"agent"),
            0);
  EXPECT_EQ(text, u"");
}

}  // namespace
