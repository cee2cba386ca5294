// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "frmdialer.h"

#include "dialersettings.h"
#include "fieldcheck.h"
#include "fieldfinder.h"
#include "floorfiles.h"
#include "platform.h"
#include "profileschema.h"
#include "runtimeerror.h"
#include "text.h"
#include "utilities.h"

#include <QCloseEvent>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <utility>

namespace {

// The keys the fields carry, as FieldFinder finds them.
const std::array<QString, 3> kKeys = {Profile::kPrefix.name, Profile::kPort.name,
                                      Profile::kLineSettings.name};
const std::array<QString, 3> kCaptions = {QStringLiteral("Anteponer"), QStringLiteral("COMM"),
                                          QStringLiteral("Settings")};
// What each field holds and its form, for the tooltip and screen readers.
const std::array<QString, 3> kHints = {
    QStringLiteral("Prefijo que se marca delante de cada número, por ejemplo 0 para "
                   "obtener línea exterior; puede quedar vacío."),
    QStringLiteral("Número del puerto serie del módem: 2 es COM2."),
    QStringLiteral("Velocidad, paridad, bits de datos y bits de parada del puerto, "
                   "por ejemplo 9600,N,8,1.")};
// What a field the administrator fixed says instead.
const QString kFixedHint = QStringLiteral("El administrador fijó este valor en %1; no se puede "
                                          "cambiar aquí.");
// The fields' texts before loading; the load step replaces them unseen.
const std::array<QString, 3> kDesignTexts = {QStringLiteral("41"), QStringLiteral("2"),
                                             QStringLiteral("9600,N,8,1")};

// Layout in twips (1/1440 inch): left, top, width, height.
struct Twips {
    int left, top, width, height;
};
constexpr Twips kClientArea{3990, 3255, 4800, 2100};
constexpr std::array<Twips, 3> kLabelPlaces{
    {{600, 360, 1815, 255}, {600, 720, 1815, 255}, {600, 1080, 1815, 255}}};
constexpr std::array<Twips, 3> kFieldPlaces{
    {{2640, 360, 495, 285}, {2640, 720, 495, 285}, {2640, 1080, 2055, 285}}};
constexpr Twips kAceptarPlace{1440, 1605, 975, 348};
constexpr Twips kSalirPlace{2520, 1605, 975, 348};

QFont buttonFont() {
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(8.25);
    font.setBold(true);
    return font;
}

} // namespace

FrmDIALER& FrmDIALER::instance() {
    FrmDIALER& window = hiddenInstance();
    window.buildControls();
    return window;
}

FrmDIALER& FrmDIALER::hiddenInstance() {
    return ProcessWide<FrmDIALER>::instance([](FrmDIALER& window) { window.Form_Load(); });
}

FrmDIALER::FrmDIALER()
    : QDialog(nullptr, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint), m_fieldTexts(kDesignTexts) {
    setObjectName(QStringLiteral("FrmDIALER"));
    setWindowTitle(QStringLiteral("Marcador telefónico de Corvane"));
    setSizeGripEnabled(false);
    MSComm1.setPortProfile(ModDialer::portProfile());
}

// The first text field loads the font database and the first accessible name
// reaches for the screen reader's bus: work that only a window someone sees needs.
void FrmDIALER::buildControls() {
    if (std::exchange(m_built, true))
        return;
    setAccessibleName(windowTitle());
    setWindowIcon(QIcon::fromTheme(QStringLiteral("cvdialer"),
                                   QIcon(QStringLiteral(":/icons/cvdialer.png"))));
    createControls();
    placeControls();
    connectHandlers();
    showFieldTexts();
}

void FrmDIALER::setVisible(bool visible) {
    if (visible)
        buildControls();
    QDialog::setVisible(visible);
}

void FrmDIALER::createControls() {
    // Created in tab order, so focus moves Salir, the three fields, Aceptar.
    QuitButton = new QPushButton(QStringLiteral("Salir"), this);
    QuitButton->setObjectName(QStringLiteral("QuitButton"));
    for (qint16 i = 0; i < TxtFieldArray::kCount; ++i) {
        auto* field = new TxtField(kKeys.at(std::size_t(i)), this);
        field->setObjectName(QStringLiteral("txtfields_%1").arg(i));
        field->setText(kDesignTexts.at(std::size_t(i)));
        field->setAccessibleName(kCaptions.at(std::size_t(i)));
        txtfields.set(i, field);
    }
    CmdAceptar = new QPushButton(QStringLiteral("Aceptar"), this);
    CmdAceptar->setObjectName(QStringLiteral("CmdAceptar"));
    for (std::size_t i = 0; i < Label1.size(); ++i) {
        Label1.at(i) = new QLabel(kCaptions.at(i), this);
        Label1.at(i)->setObjectName(QStringLiteral("Label1_%1").arg(i));
        Label1.at(i)->setAccessibleName(kCaptions.at(i));
        Label1.at(i)->setBuddy(&txtfields(qint16(i)));
    }
    for (QPushButton* button : {CmdAceptar, QuitButton}) {
        button->setFont(buttonFont());
        button->setAutoDefault(true);
        button->setAccessibleName(button->text());
    }
    CmdAceptar->setDefault(true);
    QuitButton->setFocus(); // the window opens with the focus on "Salir"
}

void FrmDIALER::placeControls() {
    const auto px = [this](int twips, int dpi) {
        return (twips * dpi + 720) / 1440;
    };
    const auto place = [&](QWidget* control, const Twips& t) {
        control->setGeometry(px(t.left, logicalDpiX()), px(t.top, logicalDpiY()),
                             px(t.width, logicalDpiX()), px(t.height, logicalDpiY()));
    };
    for (std::size_t i = 0; i < Label1.size(); ++i) {
        place(Label1.at(i), kLabelPlaces.at(i));
        place(&txtfields(qint16(i)), kFieldPlaces.at(i));
    }
    place(CmdAceptar, kAceptarPlace);
    place(QuitButton, kSalirPlace);
    setFixedSize(px(kClientArea.width, logicalDpiX()), px(kClientArea.height, logicalDpiY()));
    move(px(kClientArea.left, logicalDpiX()), px(kClientArea.top, logicalDpiY()));
}

void FrmDIALER::connectHandlers() {
    connect(CmdAceptar, &QPushButton::clicked, this,
            [this] { Platform::RunUntrapped([this] { CmdAceptar_Click(); }); });
    connect(QuitButton, &QPushButton::clicked, this,
            [this] { Platform::RunUntrapped([this] { QuitButton_Click(); }); });
}

void FrmDIALER::Form_Load() {
    m_fieldSources = ModDialer::readWindowSettings();
    const ModDialer::DialerSettingsRecord& read = ModDialer::DialerSettings;
    m_fieldTexts = {read.Anteponer, read.Comm, read.Settings};
    if (m_built)
        showFieldTexts();
}

// A value the administrator fixed is shown, and said to be fixed, but cannot
// be changed here.
void FrmDIALER::showFieldTexts() {
    for (std::size_t i = 0; i < kKeys.size(); ++i) {
        const qint16 index = FieldFinder::instance().FindIndex(kKeys.at(i), txtfields.members());
        QLineEdit& field = txtfields(index);
        field.setText(m_fieldTexts.at(i));
        const bool fixed = m_fieldSources.at(i) == Profile::Source::Fixed;
        field.setReadOnly(fixed);
        const QString hint = fixed ? kFixedHint.arg(FloorFiles::kFixedFile) : kHints.at(i);
        field.setToolTip(hint);
        field.setAccessibleDescription(hint);
    }
}

// A fixed value is the administrator's, never written here; a floor default
// left as it came is not copied into the user's profile either, so a later
// change of the default still reaches this user.
void FrmDIALER::saveField(std::size_t step) {
    const qint16 index = FieldFinder::instance().FindIndex(kKeys.at(step), txtfields.members());
    const QString value = trimSpaces(txtfields(index).text());
    const Profile::Source source = m_fieldSources.at(step);
    if (source == Profile::Source::Fixed ||
        (source == Profile::Source::Defaults && value == trimSpaces(m_fieldTexts.at(step))))
        return;
    Profile::write({Profile::kParameters, kKeys.at(step)}, value);
}

// A changed value that no dial could use is not saved: the operator is told
// which field and the form it needs, and is put back in it. A value left as
// the file had it is saved as it is, so stored profiles keep working.
bool FrmDIALER::refuseUnusableField() {
    for (std::size_t i = 0; i < kKeys.size(); ++i) {
        const qint16 index = FieldFinder::instance().FindIndex(kKeys.at(i), txtfields.members());
        QLineEdit& field = txtfields(index);
        const QString value = trimSpaces(field.text());
        if (value == trimSpaces(m_fieldTexts.at(i)))
            continue;
        const std::optional<QString> why = ModDialer::whyUnusable(kKeys.at(i), value);
        if (!why)
            continue;
        Platform::MsgBox(*why, Platform::vbExclamation);
        activateWindow();
        field.setFocus();
        field.selectAll();
        return true;
    }
    return false;
}

void FrmDIALER::CmdAceptar_Click() {
    if (refuseUnusableField())
        return;
    std::size_t step = 0;
    while (step < kKeys.size()) {
        try {
            saveField(step);
            ++step;
        } catch (const RunTimeError& error) {
            // Not trapped: an error of the notice itself ends the program.
            const qint16 answer =
                Utilities::instance().ErrorNotice(error, QStringLiteral("Aviso al Operador"));
            if (answer == Platform::vbIgnore)
                ++step;
            else if (answer != Platform::vbRetry)
                return; // the window stays open with the typed texts
        }
    }
    Platform::End(m_leavingStatus);
}

void FrmDIALER::QuitButton_Click() {
    Platform::End(m_leavingStatus);
}

void FrmDIALER::reject() {
    QuitButton->click();
}

void FrmDIALER::closeEvent(QCloseEvent* event) {
    event->accept();
}
