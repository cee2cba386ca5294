// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// The settings window: layout, keyboard, loading and saving against real files.
#include "dialersettings.h"
#include "frmdialer.h"
#include "runtimeerror.h"
#include "support/errorof.h"
#include "support/fakeplatform.h"
#include "support/privatemounts.h"
#include "support/profilehome.h"

#include <memory>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

using ModDialer::DialerSettings;

class TestFrmDialer : public QObject {
    Q_OBJECT

    std::unique_ptr<ProfileHome> m_home;
    std::unique_ptr<FakePlatform> m_fake;

    QString profileDir() const { return m_home->folder(); }
    void writeProfile(const QByteArray& text) { QVERIFY(m_home->write(text)); }
    QByteArray profile() const { return m_home->read(); }
    // As root a read-only folder is no obstacle, so a file stands where the
    // profile's folder should be: every write there fails until it is removed.
    void blockProfileFolder() {
        QDir().rmdir(profileDir());
        QFile blocker(profileDir());
        QVERIFY(!QFileInfo::exists(profileDir()) || !QFileInfo(profileDir()).isDir());
        QVERIFY(blocker.open(QIODevice::WriteOnly));
    }
    void unblockProfileFolder() { QFile::remove(profileDir()); }
    void setProfileReadOnly(bool readOnly) {
        QVERIFY(QFile::setPermissions(
            m_home->path(), readOnly ? QFile::ReadOwner : QFile::ReadOwner | QFile::WriteOwner));
    }

    static FrmDIALER& window() { return FrmDIALER::instance(); }
    static QStringList fieldTexts() {
        QStringList texts;
        for (qint16 i = 0; i < 3; ++i)
            texts.append(window().txtfields(i).text());
        return texts;
    }
    static void type(qint16 field, const QString& text) { window().txtfields(field).setText(text); }
    int press() {
        try {
            window().CmdAceptar_Click();
        } catch (const Platform::ProcessEnded& ended) {
            return ended.status;
        }
        return -1; // the window stayed open
    }
    // The handlers end the process; for keyboard tests only which button was
    // chosen matters, so they are cut off and the clicks counted.
    void detachHandlers() {
        QObject::disconnect(window().CmdAceptar, &QPushButton::clicked, &window(), nullptr);
        QObject::disconnect(window().QuitButton, &QPushButton::clicked, &window(), nullptr);
    }
    void showAndActivate() {
        window().show();
        QApplication::setActiveWindow(&window());
        QVERIFY(QTest::qWaitForWindowActive(&window()));
    }

    // /etc/cvdialer appears in a mount namespace of this process only.
    QTemporaryDir m_mounts;
    QString m_noFloor;
    bool writeFloorFile(const QString& path, const QByteArray& text, int mode, uint owner) {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(text) == text.size() &&
               ::fchmod(file.handle(), mode_t(mode)) == 0 && ::fchown(file.handle(), owner, 0) == 0;
    }

private Q_SLOTS:
    void initTestCase() {
        if (PrivateMounts::enter(m_mounts.path(), m_noFloor))
            m_noFloor.clear();
    }
    void init() {
        m_home = std::make_unique<ProfileHome>();
        m_fake = std::make_unique<FakePlatform>();
        DialerSettings = {};
    }
    void cleanup() {
        FrmDIALER::discardInstance();
        m_fake.reset();
    }

    // The operator sees every control whole: inside the window, none over
    // another, every caption and the usual line settings readable in full.
    void everyControlIsWholeAndApart() {
        const QList<QWidget*> controls =
            window().findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
        QCOMPARE(controls.size(), 8);
        for (const QWidget* control : controls) {
            const QString name = control->objectName();
            QVERIFY2(window().rect().contains(control->geometry()), qPrintable(name));
            for (const QWidget* other : controls)
                QVERIFY2(other == control || !other->geometry().intersects(control->geometry()),
                         qPrintable(name + QLatin1Char('/') + other->objectName()));
        }
        for (const QLabel* label : window().Label1)
            QVERIFY(label->fontMetrics().horizontalAdvance(label->text()) <= label->width());
        const QLineEdit& settings = window().txtfields(2);
        QVERIFY(settings.fontMetrics().horizontalAdvance(QStringLiteral("9600,N,8,1")) <
                settings.width());
    }

    void captionsFontsAndAccessibleNames() {
        QCOMPARE(window().windowTitle(), QStringLiteral("Marcador telefónico de Corvane"));
        const QStringList captions = {"Anteponer", "COMM", "Settings"};
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(window().Label1.at(std::size_t(i))->text(), captions.at(i));
            QCOMPARE(window().Label1.at(std::size_t(i))->focusPolicy(), Qt::NoFocus);
            QCOMPARE(window().txtfields(qint16(i)).accessibleName(), captions.at(i));
            QVERIFY(!window().txtfields(qint16(i)).toolTip().isEmpty());
            QVERIFY(!window().txtfields(qint16(i)).accessibleDescription().isEmpty());
        }
        for (QPushButton* button : {window().CmdAceptar, window().QuitButton}) {
            QCOMPARE(button->accessibleName(), button->text());
            QVERIFY(button->font().bold());
            QCOMPARE(button->font().pointSizeF(), 8.25);
        }
        QCOMPARE(window().CmdAceptar->text(), QStringLiteral("Aceptar"));
        QCOMPARE(window().QuitButton->text(), QStringLiteral("Salir"));
    }

    void opensOnSalirAndTabsInOrder() {
        showAndActivate();
        QCOMPARE(QApplication::focusWidget(), window().QuitButton);
        const QList<QWidget*> order = {&window().txtfields(0), &window().txtfields(1),
                                       &window().txtfields(2), window().CmdAceptar,
                                       window().QuitButton};
        for (QWidget* expected : order) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), expected);
        }
    }

    void enterAndEscChooseTheRightButton_data() {
        QTest::addColumn<int>("tabs");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("chosen");
        QTest::newRow("Enter on Salir") << 0 << int(Qt::Key_Return) << "QuitButton";
        QTest::newRow("Enter in a field") << 1 << int(Qt::Key_Return) << "CmdAceptar";
        QTest::newRow("keypad Enter in the last field") << 3 << int(Qt::Key_Enter) << "CmdAceptar";
        QTest::newRow("Enter on Aceptar") << 4 << int(Qt::Key_Return) << "CmdAceptar";
        QTest::newRow("Esc in a field") << 2 << int(Qt::Key_Escape) << "QuitButton";
        QTest::newRow("Esc on Aceptar") << 4 << int(Qt::Key_Escape) << "QuitButton";
    }
    void enterAndEscChooseTheRightButton() {
        QFETCH(int, tabs);
        QFETCH(int, key);
        QFETCH(QString, chosen);
        detachHandlers();
        showAndActivate();
        QSignalSpy aceptar(window().CmdAceptar, &QPushButton::clicked);
        QSignalSpy salir(window().QuitButton, &QPushButton::clicked);
        for (int i = 0; i < tabs; ++i)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
        QCOMPARE(aceptar.count(), chosen == QLatin1String("CmdAceptar") ? 1 : 0);
        QCOMPARE(salir.count(), chosen == QLatin1String("QuitButton") ? 1 : 0);
    }

    void loadShowsWhatWasRead_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("no file") << QByteArray() << QStringList{"", "2", "9600,N,8,1"};
        QTest::newRow("other keys only")
            << QByteArray("[PARAMETROS]\nOTRA=1\n") << QStringList{"", "2", "9600,N,8,1"};
        QTest::newRow("partial") << QByteArray("[PARAMETROS]\nCOMM=3\n")
                                 << QStringList{"", "3", "9600,N,8,1"};
        QTest::newRow("complete") << QByteArray(
                                         "[PARAMETROS]\nANTEPONER=0\nCOMM=1\nSETTINGS=2400,E,7,1\n")
                                  << QStringList{"0", "1", "2400,E,7,1"};
        QTest::newRow("spaces kept") << QByteArray("[PARAMETROS]\nANTEPONER=\" 9 \"\nCOMM=' 2'\n")
                                     << QStringList{" 9 ", " 2", "9600,N,8,1"};
    }
    void loadShowsWhatWasRead() {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, shown);
        if (!file.isEmpty())
            writeProfile(file);
        QCOMPARE(fieldTexts(), shown);
        QCOMPARE(
            (QStringList{DialerSettings.Anteponer, DialerSettings.Comm, DialerSettings.Settings}),
            shown);
    }

    // The administrator's files count only when root alone can change them: a
    // fixed value is shown read-only, said to be fixed, and never saved; an
    // untouched floor default is not copied into the user's profile.
    void floorFilesShownAndSavedAsMeant_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<uint>("owner");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<QByteArray>("saved");
        QTest::newRow("root's, 0644") << 0644 << 0u << QStringList{"0", "4", "19200,E,7,1"}
                                      << QByteArray("[PARAMETROS]\nCOMM=2\nANTEPONER=5\n");
        const QByteArray ignored("[PARAMETROS]\nCOMM=2\nANTEPONER=5\nSETTINGS=9600,N,8,1\n");
        QTest::newRow("group may write: ignored")
            << 0664 << 0u << QStringList{"0", "2", "9600,N,8,1"} << ignored;
        QTest::newRow("a user's: ignored")
            << 0644 << 65534u << QStringList{"0", "2", "9600,N,8,1"} << ignored;
    }
    void floorFilesShownAndSavedAsMeant() {
        QFETCH(int, mode);
        QFETCH(uint, owner);
        QFETCH(QStringList, shown);
        QFETCH(QByteArray, saved);
        if (!m_noFloor.isEmpty())
            QSKIP(qPrintable(m_noFloor));
        const QString fixed = QStringLiteral("/etc/cvdialer/CVDIALER.INI");
        const QString defaults = m_home->scratch(QStringLiteral("xdg/CVDIALER.INI"));
        qputenv("XDG_CONFIG_DIRS", m_home->scratch(QStringLiteral("xdg")).toUtf8());
        const auto removeFloor = qScopeGuard([&] {
            QFile::remove(fixed);
            qunsetenv("XDG_CONFIG_DIRS");
        });
        QVERIFY(writeFloorFile(fixed, "[PARAMETROS]\nCOMM=4\n", mode, owner));
        QVERIFY(writeFloorFile(defaults, "[PARAMETROS]\nSETTINGS=19200,E,7,1\n", mode, owner));
        writeProfile("[PARAMETROS]\nCOMM=2\nANTEPONER=0\n");
        QCOMPARE(fieldTexts(), shown);
        const bool isFixed = shown.at(1) == QLatin1String("4");
        QCOMPARE(window().txtfields(1).isReadOnly(), isFixed);
        QCOMPARE(window().txtfields(1).accessibleDescription().contains(fixed), isFixed);
        QVERIFY(!window().txtfields(0).isReadOnly());
        type(0, QStringLiteral("5"));
        QCOMPARE(press(), 0);
        QCOMPARE(profile(), saved);
    }

    void dialPathLoadsHiddenAndReplacesStartUpValues() {
        writeProfile("[PARAMETROS]\nCOMM=5\nSETTINGS=1200,N,8,1\n");
        DialerSettings = {QStringLiteral("viejo"), QStringLiteral("9"), QStringLiteral("x")};
        QVERIFY(!FrmDIALER::exists());
        QCOMPARE(errorOf([&] { window().MSComm1.setOutput(QString()); }), int(PortNotOpen));
        QVERIFY(!window().isVisible());
        QCOMPARE(DialerSettings.Anteponer, QString());
        QCOMPARE(DialerSettings.Comm, QStringLiteral("5"));
        QCOMPARE(DialerSettings.Settings, QStringLiteral("1200,N,8,1"));
    }

    // A dial run loads the window without its controls; shown later, it holds
    // what the last load read and is complete, as if built at once.
    void loadedHiddenThenShownHoldsTheLastRead() {
        writeProfile("[PARAMETROS]\nANTEPONER=9\nCOMM=3\n");
        FrmDIALER& hidden = FrmDIALER::hiddenInstance();
        QVERIFY(hidden.findChildren<QWidget*>().isEmpty());
        writeProfile("[PARAMETROS]\nCOMM=4\nSETTINGS=2400,E,7,1\n");
        hidden.Form_Load();
        QCOMPARE(DialerSettings.Comm, QStringLiteral("4"));
        QVERIFY(hidden.findChildren<QWidget*>().isEmpty());
        hidden.show();
        QVERIFY(QTest::qWaitForWindowExposed(&hidden));
        QCOMPARE(&window(), &hidden);
        QCOMPARE(fieldTexts(), (QStringList{"", "4", "2400,E,7,1"}));
        QCOMPARE(hidden.accessibleName(), hidden.windowTitle());
        QCOMPARE(hidden.findChildren<QWidget*>().size(), 8);
        QVERIFY(hidden.Label1.at(2)->isVisible());
    }

    void aceptarSavesTrimmedValuesAndEnds() {
        writeProfile("; puesto 3\n[OTRA]\nCLAVE = valor\n\n[PARAMETROS]\nCOMM=1\n");
        window();
        type(0, QStringLiteral("  0 9 "));
        type(1, QStringLiteral("   "));
        type(2, QStringLiteral(" 2400 , e,7,1 "));
        QCOMPARE(press(), 0);
        QCOMPARE(profile(), QByteArray("; puesto 3\n[OTRA]\nCLAVE = valor\n\n[PARAMETROS]\n"
                                       "COMM=\nANTEPONER=0 9\nSETTINGS=2400 , e,7,1\n"));
        QVERIFY(!m_fake->actions().join(' ').contains(QLatin1String("msgbox")));
        QCOMPARE(DialerSettings.Comm, QStringLiteral("1"));
    }

    // The dial's own parsers decide; nothing is written, and the operator is put
    // back in the field with its text selected, to type it again.
    void unusableChangedValueIsRefused_data() {
        QTest::addColumn<qint16>("field");
        QTest::addColumn<QString>("typed");
        QTest::newRow("parity X") << qint16(2) << "9600,X,8,1";
        QTest::newRow("tab before the baud rate") << qint16(2) << "\t9600,N,8,1";
        QTest::newRow("port in words") << qint16(1) << "dos";
        QTest::newRow("port 0") << qint16(1) << "0";
        QTest::newRow("port 256") << qint16(1) << " 256 ";
        QTest::newRow("prefix with ;") << qint16(0) << "0;&F&W";
        QTest::newRow("prefix with a tab") << qint16(0) << "\t0";
    }
    void unusableChangedValueIsRefused() {
        QFETCH(qint16, field);
        QFETCH(QString, typed);
        const QByteArray original("[PARAMETROS]\r\nANTEPONER=9\r\nCOMM=2\r\n");
        writeProfile(original);
        showAndActivate();
        type(0, QStringLiteral("8")); // a good change beside it is not saved either
        type(field, typed);
        QCOMPARE(press(), -1);
        const QString caption = window().Label1.at(std::size_t(field))->text();
        QCOMPARE(m_fake->actions().size(), 1);
        QVERIFY2(m_fake->actions().first().startsWith(
                     QStringLiteral("msgbox El valor de \"%1\" no sirve para marcar").arg(caption)),
                 qPrintable(m_fake->actions().first()));
        QVERIFY(m_fake->actions().first().endsWith(QLatin1String("|48|CVDialer")));
        QCOMPARE(profile(), original);
        QCOMPARE(QApplication::focusWidget(), &window().txtfields(field));
        QCOMPARE(window().txtfields(field).selectedText(), typed);
    }

    // Stored profiles keep working, and clearing a field is how a setting is removed.
    void storedAndEmptyValuesAreSavedAsTheyAre() {
        writeProfile("[PARAMETROS]\nANTEPONER=0;1\nCOMM=300\nSETTINGS=9600,X,8,1\n");
        window();
        type(0, QStringLiteral(" 0;1"));
        type(1, QStringLiteral("  "));
        QCOMPARE(press(), 0);
        QCOMPARE(profile(),
                 QByteArray("[PARAMETROS]\nANTEPONER=0;1\nCOMM=\nSETTINGS=9600,X,8,1\n"));
    }

    void failedWriteRetriedAfterTheCauseIsGone() {
        window();
        type(1, QStringLiteral("3"));
        blockProfileFolder();
        int notices = 0;
        m_fake->answers = {Platform::vbRetry, Platform::vbRetry};
        m_fake->whileBoxIsUp = [&](const QString&) {
            if (++notices == 2)
                unblockProfileFolder();
        };
        QCOMPARE(press(), 0);
        QCOMPARE(notices, 2);
        QVERIFY(m_fake->log.first().contains(QLatin1String("|18|Aviso al Operador")));
        QCOMPARE(profile(), QByteArray("[PARAMETROS]\nANTEPONER=\nCOMM=3\nSETTINGS=9600,N,8,1\n"));
    }

    // A read-only profile refuses every changed value (error 70) while an
    // unchanged one needs no write, so one field fails on its own.
    void skippedStepIsNotWrittenAgain_data() {
        QTest::addColumn<qint16>("badField");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QByteArray>("saved");
        QTest::newRow("COMM skipped") << qint16(1) << "3"
                                      << QByteArray("[PARAMETROS]\nANTEPONER=7\nCOMM=2\n"
                                                    "SETTINGS=9600,N,8,1\n");
        QTest::newRow("SETTINGS skipped")
            << qint16(2) << "2400,E,7,1" << QByteArray("[PARAMETROS]\nANTEPONER=7\nCOMM=2\n");
    }
    void skippedStepIsNotWrittenAgain() {
        QFETCH(qint16, badField);
        QFETCH(QString, typed);
        QFETCH(QByteArray, saved);
        writeProfile("[PARAMETROS]\nANTEPONER=7\nCOMM=2\n");
        setProfileReadOnly(true);
        window();
        type(badField, typed);
        m_fake->answers = {Platform::vbIgnore};
        m_fake->whileBoxIsUp = [&](const QString&) {
            setProfileReadOnly(false);
        };
        QCOMPARE(press(), 0);
        QCOMPARE(profile(), saved);
    }

    void givingUpKeepsTheWindowAndStartsOverNextTime() {
        writeProfile("[PARAMETROS]\nANTEPONER=7\n");
        setProfileReadOnly(true);
        window();
        type(1, QStringLiteral("3"));
        m_fake->answers = {Platform::vbAbort};
        QCOMPARE(press(), -1);
        QCOMPARE(fieldTexts(), (QStringList{"7", "3", "9600,N,8,1"}));
        QCOMPARE(profile(), QByteArray("[PARAMETROS]\nANTEPONER=7\n"));

        setProfileReadOnly(false);
        type(0, QStringLiteral("8"));
        type(1, QStringLiteral("4"));
        m_fake->log.clear();
        QCOMPARE(press(), 0);
        QCOMPARE(profile(), QByteArray("[PARAMETROS]\nANTEPONER=8\nCOMM=4\nSETTINGS=9600,N,8,1\n"));
        QCOMPARE(DialerSettings.Comm, QStringLiteral("2"));
    }

    void salirAfterAGivenUpSaveWritesNothing() {
        writeProfile("[PARAMETROS]\nCOMM=2\n");
        setProfileReadOnly(true);
        window();
        type(1, QStringLiteral("3"));
        m_fake->answers = {Platform::vbAbort};
        QCOMPARE(press(), -1);
        setProfileReadOnly(false);
        try {
            window().QuitButton_Click();
            QFAIL("Salir did not end the program");
        } catch (const Platform::ProcessEnded& ended) {
            QCOMPARE(ended.status, 0);
        }
        QCOMPARE(profile(), QByteArray("[PARAMETROS]\nCOMM=2\n"));
    }

    void closingTheWindowWritesNothing() {
        detachHandlers();
        showAndActivate();
        QSignalSpy salir(window().QuitButton, &QPushButton::clicked);
        type(1, QStringLiteral("9"));
        QVERIFY(window().close());
        QVERIFY(!window().isVisible());
        QCOMPARE(salir.count(), 0);
        QCOMPARE(profile(), QByteArray("<none>"));
    }
};

QTEST_MAIN(TestFrmDialer)
#include "tst_frmdialer.moc"
