#pragma once
// CI runs as root, whom file permissions never stop. A test that needs a refusal
// starts with `if (!unprivileged::rerunAsNobody()) return;`: as root it runs the
// same test again in a child process as the user "nobody" and checks that run; as
// any other user it lets the test go on.
#include <unistd.h>

#include <QProcess>
#include <QString>

#include <gtest/gtest.h>

#include <filesystem>

namespace unprivileged {
inline bool rerunAsNobody() {
    if (::geteuid() != 0) return true;
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    const QString name = QString::fromStdString(std::string(info->test_suite_name()) + "." + info->name());
    QProcess child;
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start("setpriv", {"--reuid=65534", "--regid=65534", "--clear-groups",
                            QString::fromStdString(std::filesystem::read_symlink("/proc/self/exe").string()),
                            "--gtest_filter=" + name});
    const bool ran = child.waitForFinished(120000);
    const QString output = QString::fromLocal8Bit(child.readAll());
    EXPECT_TRUE(ran && child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0) << output.toStdString();
    EXPECT_TRUE(output.contains("[  PASSED  ] 1 test")) << output.toStdString();
    return false;
}
}  // namespace unprivileged
