// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// The profile file against real files: the Windows read rules, writes that keep
// every other byte, encodings, and failures that leave the old file whole.
#include "inifile.h"
#include "processwide.h"
#include "profileschema.h"
#include "runtimeerror.h"
#include "support/errorof.h"
#include "support/profilehome.h"

#include <linux/capability.h>
#include <memory>
#include <pwd.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QtTest>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {
const QString kName = Profile::kFile;

int modeOf(const QString& path) {
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 0777) : -1;
}

QByteArray utf16le(const QString& text) {
    QByteArray bytes("\xff\xfe");
    bytes.append(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    return bytes;
}
} // namespace

// Root writes anywhere. While this lives, the thread's root writes only where
// any user could: it gives up its override of file permissions and takes it
// back at the end (it stays in the permitted set).
class NoPermissionOverride {
public:
    NoPermissionOverride() {
        if (::geteuid() != 0) {
            m_holds = true;
            return;
        }
        if (::syscall(SYS_capget, &m_header, m_saved) != 0)
            return;
        __user_cap_data_struct reduced[2] = {m_saved[0], m_saved[1]};
        reduced[CAP_TO_INDEX(CAP_DAC_OVERRIDE)].effective &= ~CAP_TO_MASK(CAP_DAC_OVERRIDE);
        m_dropped = ::syscall(SYS_capset, &m_header, reduced) == 0;
        m_holds = m_dropped;
    }
    ~NoPermissionOverride() {
        if (m_dropped)
            ::syscall(SYS_capset, &m_header, m_saved);
    }
    NoPermissionOverride(const NoPermissionOverride&) = delete;
    NoPermissionOverride& operator=(const NoPermissionOverride&) = delete;
    bool holds() const { return m_holds; }

private:
    __user_cap_header_struct m_header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct m_saved[2]{};
    bool m_dropped = false;
    bool m_holds = false;
};

class TestIniFile : public QObject {
    Q_OBJECT

    std::unique_ptr<ProfileHome> m_home;

    QString path() const { return m_home->path(); }
    void put(const QByteArray& bytes) { QVERIFY(m_home->write(bytes)); }
    QByteArray bytes() const { return m_home->read(); }
    static QByteArray reference(const QString& name) {
        QFile file(QStringLiteral(CV_TEST_DATA "/") + name);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    static QString read(const QString& section, const QString& key) {
        return IniFile::instance().ReadValue(kName, section, key, QStringLiteral("<default>"));
    }
    static int writeError(const QString& section, const QString& key, const QString& value) {
        return errorOf([&] { IniFile::instance().WriteValue(kName, section, key, value); });
    }

private Q_SLOTS:
    void init() { m_home = std::make_unique<ProfileHome>(QStringLiteral("home/config")); }
    void cleanup() { ProcessWide<IniFile>::discard(); }

    void pathFollowsXdgConfigHome() {
        QCOMPARE(IniFile::pathOf(kName), path());
        qputenv("XDG_CONFIG_HOME", "");
        QCOMPARE(IniFile::pathOf(kName), QDir::homePath() + QStringLiteral("/.config/") + kName);
        // No HOME to go by: the user's home from the password database.
        const QByteArray home = qgetenv("HOME");
        qputenv("HOME", "");
        const QString fallback = IniFile::pathOf(kName);
        qputenv("HOME", home);
        QCOMPARE(fallback, QFile::decodeName(::getpwuid(::getuid())->pw_dir) + "/.config/" + kName);
    }

    void readRules_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        const QByteArray base = "[PARAMETROS]\nCOMM=2\n";
        QTest::newRow("plain") << base << "PARAMETROS"
                               << "COMM"
                               << "2";
        QTest::newRow("any letter case") << base << "parametros"
                                         << "Comm"
                                         << "2";
        QTest::newRow("blanks in brackets")
            << QByteArray("[ Parametros ]\ncomm=3\n") << "PARAMETROS"
            << "COMM"
            << "3";
        QTest::newRow("blanks and tabs around") << QByteArray("[P]\n \tCOMM \t= \t4 \t\n") << "P"
                                                << "COMM"
                                                << "4";
        QTest::newRow("blank inside a name counts") << QByteArray("[P]\nCO MM=5\n") << "P"
                                                    << "COMM"
                                                    << "<default>";
        QTest::newRow("double quotes") << QByteArray("[P]\nK=\" a b \"\n") << "P"
                                       << "K"
                                       << " a b ";
        QTest::newRow("single quotes") << QByteArray("[P]\nK='x'\n") << "P"
                                       << "K"
                                       << "x";
        QTest::newRow("unbalanced quote stays") << QByteArray("[P]\nK=\"x\n") << "P"
                                                << "K"
                                                << "\"x";
        QTest::newRow("mixed quotes stay") << QByteArray("[P]\nK=\"x'\n") << "P"
                                           << "K"
                                           << "\"x'";
        QTest::newRow("semicolon after a value") << QByteArray("[P]\nK=1 ; uno\n") << "P"
                                                 << "K"
                                                 << "1 ; uno";
        QTest::newRow("comment line") << QByteArray("[P]\n;K=1\n") << "P"
                                      << "K"
                                      << "<default>";
        QTest::newRow("empty value is empty") << QByteArray("[P]\nK=\n") << "P"
                                              << "K"
                                              << "";
        QTest::newRow("blank value is empty") << QByteArray("[P]\nK=  \t\n") << "P"
                                              << "K"
                                              << "";
        QTest::newRow("line without =") << QByteArray("[P]\nK\n") << "P"
                                        << "K"
                                        << "<default>";
        QTest::newRow("= inside the value") << QByteArray("[P]\nK=a=b\n") << "P"
                                            << "K"
                                            << "a=b";
        QTest::newRow("first duplicate wins") << QByteArray("[P]\nK=1\nk=2\n") << "P"
                                              << "K"
                                              << "1";
        QTest::newRow("only the first section counts") << QByteArray("[P]\nA=1\n[p]\nK=2\n") << "P"
                                                       << "K"
                                                       << "<default>";
        QTest::newRow("key before any section") << QByteArray("K=1\n[P]\n") << "P"
                                                << "K"
                                                << "<default>";
        QTest::newRow("missing section") << base << "OTRA"
                                         << "COMM"
                                         << "<default>";
        QTest::newRow("CR line ends") << QByteArray("[P]\rK=1\rL=2") << "P"
                                      << "L"
                                      << "2";
        QTest::newRow("CRLF, no final newline") << QByteArray("[P]\r\nK=7") << "P"
                                                << "K"
                                                << "7";
        QTest::newRow("commas kept") << QByteArray("[P]\nK=9,,5551234\n") << "P"
                                     << "K"
                                     << "9,,5551234";
    }
    void readRules() {
        QFETCH(QByteArray, file);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, value);
        put(file);
        QCOMPARE(read(section, key), value);
    }

    void missingFileGivesTheDefault() { QCOMPARE(read("PARAMETROS", "COMM"), "<default>"); }

    void writeKeepsEveryOtherByte_data() {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("expected");
        QTest::newRow("comments, blanks, odd spelling") << "comments.ini"
                                                        << "PARAMETROS"
                                                        << "COMM"
                                                        << "2"
                                                        << "comments.ref";
        QTest::newRow("CRLF, key appended") << "crlf.ini"
                                            << "PARAMETROS"
                                            << "TIMEOUT"
                                            << "30"
                                            << "crlf.ref";
        QTest::newRow("CR, key appended") << "cr.ini"
                                          << "PARAMETROS"
                                          << "TONO"
                                          << "1"
                                          << "cr-append.ref";
        QTest::newRow("CR, value replaced") << "cr.ini"
                                            << "PARAMETROS"
                                            << "VELOCIDAD"
                                            << "19200"
                                            << "cr-replace.ref";
        QTest::newRow("duplicates, first replaced") << "duplicates.ini"
                                                    << "parametros"
                                                    << "COMM"
                                                    << "5"
                                                    << "duplicates-replace.ref";
        QTest::newRow("duplicates, appended to the first") << "duplicates.ini"
                                                           << "PARAMETROS"
                                                           << "TONO"
                                                           << "1"
                                                           << "duplicates-append.ref";
        QTest::newRow("section without keys") << "emptysection.ini"
                                              << "PARAMETROS"
                                              << "COMM"
                                              << "2"
                                              << "emptysection.ref";
        QTest::newRow("empty value, no final newline") << "emptyvalue.ini"
                                                       << "PARAMETROS"
                                                       << "COMM"
                                                       << ""
                                                       << "emptyvalue.ref";
        QTest::newRow("section appended") << "nofinalnewline.ini"
                                          << "PARAMETROS"
                                          << "COMM"
                                          << "2"
                                          << "nofinalnewline.ref";
    }
    void writeKeepsEveryOtherByte() {
        QFETCH(QString, input);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(QString, expected);
        put(reference(input));
        IniFile::instance().WriteValue(kName, section, key, value);
        QCOMPARE(bytes(), reference(expected));
        QCOMPARE(read(section, key), value);
    }

    void valuesReadBackAsWritten_data() {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("ordinary") << "9600,N,8,1" << QByteArray("K=9600,N,8,1\n");
        QTest::newRow("spaces around") << " 0 " << QByteArray("K=\" 0 \"\n");
        QTest::newRow("tab first") << "\t9" << QByteArray("K=\"\t9\"\n");
        QTest::newRow("wholly quoted") << "\"a\"" << QByteArray("K=\"\"a\"\"\n");
        QTest::newRow("non-ASCII") << QStringLiteral("Año") << QByteArray("K=A\xc3\xb1o\n");
    }
    void valuesReadBackAsWritten() {
        QFETCH(QString, value);
        QFETCH(QByteArray, line);
        put("[P]\n");
        IniFile::instance().WriteValue(kName, QStringLiteral("P"), QStringLiteral("K"), value);
        QCOMPARE(bytes(), QByteArray("[P]\n") + line);
        QCOMPARE(read("P", "K"), value);
    }

    void encodingsAreKept_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("read");
        QTest::addColumn<QByteArray>("written");
        QTest::newRow("UTF-8 with BOM")
            << QByteArray("\xef\xbb\xbf[P]\nK=\xc3\x91\nL=1\n") << QStringLiteral("Ñ")
            << QByteArray("\xef\xbb\xbf[P]\nK=\xc3\x91\nL=\xe2\x82\xac\n");
        QTest::newRow("Windows-1252")
            << QByteArray("[P]\r\nK=\x80\xd1\r\nL=1\r\n") << QStringLiteral("€Ñ")
            << QByteArray("[P]\r\nK=\x80\xd1\r\nL=\x80\r\n");
        QTest::newRow("UTF-16LE with BOM")
            << utf16le(QStringLiteral("[P]\r\nK=Ñ\r\nL=1\r\n")) << QStringLiteral("Ñ")
            << utf16le(QStringLiteral("[P]\r\nK=Ñ\r\nL=€\r\n"));
    }
    void encodingsAreKept() {
        QFETCH(QByteArray, file);
        QFETCH(QString, read);
        QFETCH(QByteArray, written);
        put(file);
        QCOMPARE(this->read("P", "K"), read);
        IniFile::instance().WriteValue(kName, QStringLiteral("P"), QStringLiteral("L"),
                                       QStringLiteral("€"));
        QCOMPARE(bytes(), written);
    }

    void valueOutsideWindows1252IsRefused() {
        const QByteArray old("[P]\nK=\xd1\n");
        put(old);
        QCOMPARE(writeError("P", "K", QStringLiteral("Ω")), int(InvalidProcedureCall));
        QCOMPARE(bytes(), old);
    }

    // A write never changes what another key reads, and the value reads back.
    void writesKeepTheMeaningOfEveryOtherKey_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("written");
        QTest::newRow("Windows-1252 that would read as UTF-8")
            << QByteArray("[P]\nOTRO=\xc3\xa9\nK=\xd1\n") << "K"
            << "1" << QByteArray("\xef\xbb\xbf[P]\nOTRO=\xc3\x83\xc2\xa9\nK=1\n");
        QTest::newRow("value that would read as UTF-8")
            << QByteArray("[P]\r\nK=\xd1\r\n") << "K" << QStringLiteral("Ã©")
            << QByteArray("\xef\xbb\xbf[P]\r\nK=\xc3\x83\xc2\xa9\r\n");
        QTest::newRow("UTF-16 with half a unit at the end")
            << utf16le(QStringLiteral("[P]\r\nA=1")) + 'x' << "B"
            << "2" << utf16le(QStringLiteral("[P]\r\nA=1\r\nB=2\r\n")) + 'x';
    }
    void writesKeepTheMeaningOfEveryOtherKey() {
        QFETCH(QByteArray, file);
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(QByteArray, written);
        put(file);
        const QString other = read("P", QStringLiteral("OTRO"));
        const QString first = read("P", QStringLiteral("A"));
        IniFile::instance().WriteValue(kName, QStringLiteral("P"), key, value);
        QCOMPARE(bytes(), written);
        QCOMPARE(read("P", key), value);
        QCOMPARE(read("P", QStringLiteral("OTRO")), other);
        QCOMPARE(read("P", QStringLiteral("A")), first);
    }

    // An administrator may lock the profile by making it read-only.
    void readOnlyProfileIsRefused() {
        put("[P]\nK=1\n");
        QVERIFY(QFile::setPermissions(path(), QFile::ReadOwner | QFile::ReadGroup));
        QCOMPARE(writeError("P", "K", QStringLiteral("2")), int(PermissionDenied));
        QCOMPARE(bytes(), QByteArray("[P]\nK=1\n"));
    }

    // A write killed halfway leaves its temporary file; the next one removes it.
    void leftoversOfAKilledWriteAreRemoved() {
        put("[P]\nK=1\n");
        const QDir folder(m_home->folder());
        const QStringList others = {QStringLiteral("CVDIALER.INI.bak"),
                                    QStringLiteral(".CVDIALER.INI.tmp-notours")};
        for (const QString& name :
             others + QStringList{QStringLiteral(".CVDIALER.INI.tmp-Ab12Cd")}) {
            QFile file(folder.filePath(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        IniFile::instance().WriteValue(kName, QStringLiteral("P"), QStringLiteral("K"),
                                       QStringLiteral("2"));
        QCOMPARE(folder.entryList(QDir::Files | QDir::Hidden, QDir::Name),
                 QStringList({others.at(1), kName, others.at(0)}));
    }

    // Needs a file system of its own to fill: a small tmpfs, which root can mount.
    void fullDiskIsReportedAsSuch() {
        const QString mount = m_home->scratch(QStringLiteral("full"));
        QDir().mkpath(mount);
        if (QProcess::execute(QStringLiteral("mount"),
                              {"-t", "tmpfs", "-o", "size=64k", "tmpfs", mount}) != 0)
            QSKIP("cannot mount a small file system here");
        const auto unmount = qScopeGuard([&] { QProcess::execute("umount", {mount}); });
        qputenv("XDG_CONFIG_HOME", mount.toUtf8());
        IniFile::instance().WriteValue(kName, QStringLiteral("P"), QStringLiteral("K"),
                                       QStringLiteral("1"));
        QFile filler(mount + QStringLiteral("/filler"));
        QVERIFY(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        while (filler.write(QByteArray(4096, 'x')) > 0) {
        }
        QCOMPARE(writeError("P", "K", QStringLiteral("2")), int(DiskFull));
    }

    void lineBreaksCanNeverReachTheFile_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::newRow("CR in value") << "K"
                                     << "2\rATZ";
        QTest::newRow("LF in value") << "K"
                                     << "2\n[OTRA]";
        QTest::newRow("NUL in value") << "K" << QString(QStringLiteral("2") + QChar(0));
        QTest::newRow("LF in key") << "K\nX"
                                   << "1";
    }
    void lineBreaksCanNeverReachTheFile() {
        QFETCH(QString, key);
        QFETCH(QString, value);
        put("[P]\nK=1\n");
        QCOMPARE(writeError("P", key, value), int(InvalidProcedureCall));
        QCOMPARE(bytes(), QByteArray("[P]\nK=1\n"));
    }

    void sameValueLeavesTheFileUntouched() {
        put("[P]\nK = \"1\"\n");
        struct stat before {};
        QCOMPARE(::stat(QFile::encodeName(path()).constData(), &before), 0);
        IniFile::instance().WriteValue(kName, QStringLiteral("p"), QStringLiteral("k"),
                                       QStringLiteral("1"));
        struct stat after {};
        QCOMPARE(::stat(QFile::encodeName(path()).constData(), &after), 0);
        QCOMPARE(after.st_ino, before.st_ino);
        QCOMPARE(bytes(), QByteArray("[P]\nK = \"1\"\n"));
    }

    void firstWriteCreatesFolderAndFile() {
        const mode_t saved = ::umask(022);
        IniFile::instance().WriteValue(kName, QStringLiteral("PARAMETROS"), QStringLiteral("COMM"),
                                       QStringLiteral("2"));
        ::umask(saved);
        QCOMPARE(bytes(), QByteArray("[PARAMETROS]\nCOMM=2\n"));
        QCOMPARE(modeOf(path()), 0644);
        QCOMPARE(QDir(m_home->folder()).entryList(QDir::Files | QDir::Hidden), QStringList{kName});
    }

    void permissionsOfAnExistingFileAreKept() {
        put("[P]\nK=1\n");
        QVERIFY(QFile::setPermissions(path(), QFile::ReadOwner | QFile::WriteOwner));
        IniFile::instance().WriteValue(kName, QStringLiteral("P"), QStringLiteral("K"),
                                       QStringLiteral("2"));
        QCOMPARE(modeOf(path()), 0600);
    }

    void writeThroughASymlinkChangesItsTarget() {
        put("[P]\nK=1\n");
        const QString link = m_home->scratch(QStringLiteral("link-config"));
        QDir().mkpath(link);
        QVERIFY(QFile::link(path(), link + QLatin1Char('/') + kName));
        qputenv("XDG_CONFIG_HOME", link.toUtf8());
        IniFile::instance().WriteValue(kName, QStringLiteral("P"), QStringLiteral("K"),
                                       QStringLiteral("2"));
        QVERIFY(QFileInfo(link + QLatin1Char('/') + kName).isSymLink());
        QCOMPARE(bytes(), QByteArray("[P]\nK=2\n"));
    }

    // Root ignores permissions, so the failure comes from what stands in the way.
    void failedWriteLeavesTheOldFileWhole() {
        put("[P]\nK=1\n");
        IniFile::instance().setLockTimeout(std::chrono::milliseconds(100));
        if (::geteuid() == 0)
            QVERIFY(QDir().mkpath(path() + QStringLiteral(".lock")));
        else
            QVERIFY(QFile::setPermissions(m_home->folder(), QFile::ReadOwner | QFile::ExeOwner));
        QVERIFY(writeError("P", "K", QStringLiteral("2")) != 0);
        QFile::setPermissions(m_home->folder(),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(bytes(), QByteArray("[P]\nK=1\n"));
        QCOMPARE(read("P", "K"), QStringLiteral("1"));
    }

    // The file is writable, its folder is not: the operator is told about the
    // folder, not about a lock file never heard of.
    void folderThatTakesNoNewFilesIsNamed() {
        put("[P]\nK=1\n");
        QVERIFY(QFile::setPermissions(m_home->folder(), QFile::ReadOwner | QFile::ExeOwner));
        const auto writable = qScopeGuard([&] {
            QFile::setPermissions(m_home->folder(),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        });
        const NoPermissionOverride asAnyUser;
        if (!asAnyUser.holds())
            QSKIP("root here cannot give up its permission override");
        try {
            IniFile::instance().WriteValue(kName, QStringLiteral("P"), QStringLiteral("K"),
                                           QStringLiteral("2"));
            QFAIL("the write went through");
        } catch (const RunTimeError& error) {
            QCOMPARE(error.number(), int(PermissionDenied));
            QVERIFY2(error.description().contains(
                         QStringLiteral("la carpeta %1 no deja a este usuario crear archivos")
                             .arg(m_home->folder())),
                     qPrintable(error.description()));
            QVERIFY(!error.description().contains(QLatin1String(".lock")));
        }
        QCOMPARE(bytes(), QByteArray("[P]\nK=1\n"));
    }

    void folderThatCannotBeMadeIsAnError() {
        QFile blocker(m_home->scratch(QStringLiteral("home")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        QVERIFY(writeError("P", "K", QStringLiteral("1")) != 0);
    }
};

QTEST_GUILESS_MAIN(TestIniFile)
#include "tst_inifile.moc"
