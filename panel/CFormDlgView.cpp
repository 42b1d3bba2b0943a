#include "panel/CFormDlgView.h"

#include "controls/CBitSlider.h"
#include "controls/CBitWnd.h"
#include "controls/CButtonEx.h"
#include "controls/SkinResources.h"
#include "link/ArmLink.h"
#include "link/CommandFrames.h"
#include "link/PrivateProfile.h"
#include "link/ReplyParser.h"
#include "panel/CDengluDlg.h"
#include "panel/DialogFont.h"
#include "panel/DialogUnits.h"
#include "panel/ActionGroupFile.h"
#include "panel/PanelGroupBox.h"
#include "panel/PanelKeyTable.h"
#include "panel/PanelLook.h"
#include "panel/PanelTemplate.h"
#include "panel/PoseFormulas.h"
#include "sim/ArmPoseModel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSettings>
#include <QShortcut>
#include <QTableWidget>

#include <algorithm>
#include <climits>

const QString CFormDlgView::ApplicationTitle = QStringLiteral("Korvane");
const QString CFormDlgView::UnsignedIntegerPrompt = QStringLiteral("Please enter a positive integer.");
const QString CFormDlgView::SocketFailedText = QStringLiteral("Failed to create a socket!");
const QString CFormDlgView::SocketErrorText = QStringLiteral("SOCKET_ERROR");
const QString CFormDlgView::EmptyActionGroupText =
    QStringLiteral("Action group has no action yet, please add action group first!");
const QString CFormDlgView::NothingSelectedText = QStringLiteral("Please select at least one option");
const QString CFormDlgView::ActionGroupFilter = QStringLiteral("Action groups (*.kvg)");
const QString CFormDlgView::ActionGroupFolderKey = QStringLiteral("ActionGroups/LastFolder");

namespace {

constexpr std::array<int, 6> middlePose{90, 90, 90, 90, 90, 180};
constexpr std::array<int, 6> startPositions{90, 90, 90, 90, 110, 180};

// Name for assistive tools: what the control is or does, where its caption alone does not say.
// Toggle buttons are named again whenever their caption changes.
QString describe(int id, const QString &caption)
{
    if (id >= PanelId::ServoName1 && id < PanelId::ServoName1 + 6)
        return QStringLiteral("Servo %1").arg(id - PanelId::ServoName1 + 1);
    if (id >= PanelId::Slider1 && id < PanelId::Slider1 + 6)
        return QStringLiteral("Servo %1").arg(id - PanelId::Slider1 + 1);
    // Labels showing a value have no name, so their text is what is read; see describeValues.
    if (id >= PanelId::AngleLabel1 && id < PanelId::AngleLabel1 + 6)
        return QString();
    switch (id) {
    case PanelId::IntervalEdit: return QStringLiteral("Action group interval time");
    case PanelId::ActionList: return QStringLiteral("Action group");
    case PanelId::ConnectionPicture: return QStringLiteral("Connection state");
    case PanelId::ServoIdEdit: return QStringLiteral("Servo ID");
    case PanelId::IdNumberEdit: return QStringLiteral("Median servo ID");
    case PanelId::VersionLabel: return QString();
    case PanelId::ColourBox: return QStringLiteral("Tracking colour");
    case PanelId::VersionCaption: return QStringLiteral("Version");
    case PanelId::ServoIdCaption: return QStringLiteral("Servo ID");
    case PanelId::IdNumberCaption: return QStringLiteral("Median servo ID");
    case PanelId::LightRed: return QStringLiteral("Red light");
    case PanelId::LightGreen: return QStringLiteral("Green light");
    case PanelId::LightBlue: return QStringLiteral("Blue light");
    // The caption names what the next press sends.
    case PanelId::LightToggle: return QStringLiteral("Light ") + caption.toLower();
    default: break;
    }
    return caption.simplified();
}

// An unsigned whole number as the field exchange accepts it: blanks around digits, nothing else.
std::optional<unsigned> parseUnsigned(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    unsigned long long value = 0;
    for (const QChar c : trimmed) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
        value = value * 10 + static_cast<unsigned>(c.unicode() - '0');
        if (value > UINT_MAX)
            return std::nullopt;
    }
    return static_cast<unsigned>(value);
}

int leadingNumber(const QString &text)
{
    return PrivateProfile::ToInt(text.toStdString());
}

} // namespace

CFormDlgView::CFormDlgView(QWidget *parent, ArmLink *link, ArmPoseModel *pose)
    : QScrollArea(parent)
    , m_link(link ? link : new ArmLink(this))
    , m_pose(pose ? pose : new ArmPoseModel(this))
{
    connect(m_link, &ArmLink::frameReceived, this, &CFormDlgView::onFrameReceived);
    connect(m_link, &ArmLink::connected, this, [this] {
        // A serial link is live as soon as it is opened; OnConnect shows it there.
        if (m_link->method() == ArmLink::Method::Network)
            OnSocketConnected(true);
    });
    connect(m_link, &ArmLink::disconnected, this, [this](ArmLink::Reason reason) {
        switch (reason) {
        case ArmLink::Reason::Failed: OnSocketConnected(false); break;
        case ArmLink::Reason::ClosedByPeer: OnSocketClosed(); break;
        case ArmLink::Reason::HungUp: OnSerialLost(); break;
        }
    });
    m_hostAddress = CDengluDlg::DefaultHostAddress;
    setObjectName(QString::number(PanelId::Template));
    setAccessibleName(QStringLiteral("Control panel"));
    m_playbackTimer.setObjectName(QStringLiteral("timer2"));
    m_positionReadTimer.setSingleShot(true);
    m_positionReadTimer.setInterval(PositionReadDelayMs);
    connect(&m_playbackTimer, &QTimer::timeout, this, [this] { OnTimer(PanelId::PlaybackTimer); });
    connect(&m_positionReadTimer, &QTimer::timeout, this, &CFormDlgView::readPositionReply);

    m_connectionDialog = &CFormDlgView::runConnectionDialog;
    m_fileNameDialog = &CFormDlgView::runFileNameDialog;
    m_messageBox = [this](const QString &text, const QString &title, QMessageBox::Icon icon) {
        QMessageBox box(icon, title, text, QMessageBox::Ok, this);
        box.exec();
    };

    createControls();
    connectHandlers();
    OnInitialUpdate();
}

CFormDlgView::~CFormDlgView()
{
    // A link still handing over a byte must find no half-destroyed panel.
    disconnect(m_link, nullptr, this, nullptr);
    m_positionReadTimer.stop();
    m_playbackTimer.stop();
    // A link of the panel's own goes with it; the program's outlives every pane.
    if (m_link->parent() == this)
        delete m_link;
}

QWidget *CFormDlgView::control(int id) const
{
    return m_controls.value(id, nullptr);
}

void CFormDlgView::createControls()
{
    m_form = new QWidget;
    m_form->setObjectName(QStringLiteral("form"));
    m_form->setFont(DialogFont(QString::fromLatin1(PanelTemplate::FontFace), PanelTemplate::FontPointSize));
    const DialogUnits units(m_form->font());
    QList<QWidget *> groupBoxes;

    for (const PanelControl &entry : PanelTemplate::Controls()) {
        const QString caption = QString::fromUtf8(entry.caption);
        QWidget *widget = nullptr;
        QRect geometry = units.map(entry.rect.x(), entry.rect.y(), entry.rect.width(), entry.rect.height());
        switch (entry.kind) {
        case PanelControl::Kind::PushButton:
            // The coloured buttons become the skinned button class; captions always go through
            // setCaption so that switch stays in one place.
            if (entry.flags & PanelControl::Coloured)
                widget = new CButtonEx(caption, m_form);
            else
                widget = new QPushButton(caption, m_form);
            break;
        case PanelControl::Kind::Label:
            widget = new QLabel(caption, m_form);
            break;
        case PanelControl::Kind::Slider: {
            // The one place joint sliders are made: bitmap sliders, skinned at start-up.
            auto *slider = new CBitSlider(Qt::Horizontal, m_form);
            slider->setTickPosition(QSlider::NoTicks);
            widget = slider;
            break;
        }
        case PanelControl::Kind::Edit: {
            auto *edit = new QLineEdit(m_form);
            if (entry.flags & PanelControl::DigitsOnly)
                edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
            if (entry.flags & PanelControl::Centred)
                edit->setAlignment(Qt::AlignCenter);
            widget = edit;
            break;
        }
        case PanelControl::Kind::GroupBox:
            widget = new PanelGroupBox(caption, m_form);
            groupBoxes.append(widget);
            break;
        case PanelControl::Kind::List:
            widget = new QTableWidget(m_form);
            break;
        case PanelControl::Kind::Picture: {
            auto *picture = new QLabel(m_form);
            picture->setAlignment(Qt::AlignCenter);
            widget = picture;
            break;
        }
        case PanelControl::Kind::CheckBox:
            widget = new QCheckBox(caption, m_form);
            break;
        case PanelControl::Kind::ComboBox: {
            auto *box = new QComboBox(m_form);
            box->setEditable(true);
            box->setInsertPolicy(QComboBox::NoInsert);
            // The template's height includes the dropped-down list; the field keeps its own.
            geometry.setHeight(box->sizeHint().height());
            widget = box;
            break;
        }
        }
        widget->setObjectName(QString::number(entry.id));
        widget->setAccessibleName(describe(entry.id, caption));
        widget->setGeometry(geometry);
        PanelLook::ApplyColours(widget, entry.id);
        m_controls.insert(entry.id, widget);
    }
    // Group boxes only frame their controls; kept beneath them so they never take their clicks.
    for (QWidget *box : groupBoxes)
        box->lower();

    for (int k = 0; k < 6; ++k) {
        m_sliders[static_cast<size_t>(k)] = qobject_cast<CBitSlider *>(control(PanelId::Slider1 + k));
        m_angleLabels[static_cast<size_t>(k)] = qobject_cast<QLabel *>(control(PanelId::AngleLabel1 + k));
    }
    m_connectButton = qobject_cast<QPushButton *>(control(PanelId::Connect));
    m_stopButton = qobject_cast<QPushButton *>(control(PanelId::Stop));
    m_loopButton = qobject_cast<QPushButton *>(control(PanelId::Loop));
    m_lightToggle = qobject_cast<QPushButton *>(control(PanelId::LightToggle));
    m_faceButton = qobject_cast<QPushButton *>(control(PanelId::FaceTracking));
    m_picture = qobject_cast<QLabel *>(control(PanelId::ConnectionPicture));
    m_versionLabel = qobject_cast<QLabel *>(control(PanelId::VersionLabel));
    m_intervalEdit = qobject_cast<QLineEdit *>(control(PanelId::IntervalEdit));
    m_servoIdEdit = qobject_cast<QLineEdit *>(control(PanelId::ServoIdEdit));
    m_idNumberEdit = qobject_cast<QLineEdit *>(control(PanelId::IdNumberEdit));
    m_dragCheck = qobject_cast<QCheckBox *>(control(PanelId::DragToRefresh));
    m_colourBox = qobject_cast<QComboBox *>(control(PanelId::ColourBox));
    m_actionList = qobject_cast<QTableWidget *>(control(PanelId::ActionList));

    describeValues();

    // The colour list is kept sorted, ignoring case: Blue, Green, OFF, Red, Yellow.
    QStringList colours{QStringLiteral("OFF"), QStringLiteral("Red"), QStringLiteral("Green"),
                        QStringLiteral("Blue"), QStringLiteral("Yellow")};
    std::sort(colours.begin(), colours.end(),
              [](const QString &a, const QString &b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    m_colourBox->addItems(colours);
    // A typed name stays as typed ("red" is not "Red"): no completion, and Return matches items
    // with their case, as the platform's combo box does.
    m_colourBox->setCompleter(nullptr);

    // The whole client area is the panel's ground, also around the form when the pane is larger.
    PanelLook::ApplyGround(m_form);
    PanelLook::ApplyGround(viewport());
    m_form->setFixedSize(units.mapSize(PanelTemplate::FormSize().width(), PanelTemplate::FormSize().height()));
    setWidget(m_form);
    setWidgetResizable(false);

    // Keys are translated before any control of the panel sees them.
    installEventFilter(this);
    viewport()->installEventFilter(this);
    for (QWidget *child : m_form->findChildren<QWidget *>())
        child->installEventFilter(this);
    m_form->installEventFilter(this);
}

void CFormDlgView::setUpActionList()
{
    QTableWidget *list = m_actionList;
    list->setColumnCount(8);
    QStringList headings{QStringLiteral("INDEX")};
    for (int k = 1; k <= 6; ++k)
        headings << QStringLiteral("ID%1").arg(k);
    headings << QStringLiteral("TIME");
    list->setHorizontalHeaderLabels(headings);
    list->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    list->horizontalHeader()->setHighlightSections(false);
    list->verticalHeader()->hide();
    list->setColumnWidth(0, 55);
    for (int column = 1; column <= 6; ++column)
        list->setColumnWidth(column, 40);
    list->setColumnWidth(7, 45);
    list->setShowGrid(true);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setSortingEnabled(false);
    list->setWordWrap(false);
    setUpActionListMenu();
}

void CFormDlgView::setUpActionListMenu()
{
    // A pop-up window of its own, so the panel's key translation never sees its keys.
    m_actionListMenu = new QMenu(m_actionList);
    m_actionListMenu->setObjectName(QStringLiteral("actionGroupMenu"));
    m_actionListMenu->setFont(m_form->font());
    PanelLook::ApplyMenuLook(m_actionListMenu);
    m_saveGroupAction = m_actionListMenu->addAction(QStringLiteral("Save action group..."), this,
                                                    &CFormDlgView::OnSaveActionGroup);
    m_actionListMenu->addAction(QStringLiteral("Open action group..."), this, &CFormDlgView::OnOpenActionGroup);

    m_actionList->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_actionList, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &pos) { showActionListMenu(m_actionList->viewport()->mapToGlobal(pos)); });
    // From the keyboard the menu opens at the current row. Neither key is turned into a menu
    // request by every platform, so both are taken here, only while the list has the focus.
    for (const QKeySequence &keys : {QKeySequence(Qt::Key_Menu), QKeySequence(Qt::SHIFT | Qt::Key_F10)}) {
        new QShortcut(keys, m_actionList, this, [this] {
            const QRect row = m_actionList->visualRect(m_actionList->currentIndex());
            showActionListMenu(m_actionList->viewport()->mapToGlobal(row.isValid() ? row.bottomLeft() : QPoint()));
        }, Qt::WidgetShortcut);
    }
}

void CFormDlgView::showActionListMenu(const QPoint &globalPos)
{
    m_saveGroupAction->setEnabled(m_actionList->rowCount() > 0);
    m_actionListMenu->popup(globalPos);
}

void CFormDlgView::connectHandlers()
{
    auto onClick = [this](int id, void (CFormDlgView::*handler)()) {
        auto *button = qobject_cast<QAbstractButton *>(control(id));
        connect(button, &QAbstractButton::clicked, this, handler);
    };
    onClick(PanelId::Connect, &CFormDlgView::OnConnect);
    onClick(PanelId::Middle, &CFormDlgView::ResetToMiddle);
    onClick(PanelId::Stop, &CFormDlgView::OnStop);
    onClick(PanelId::Update, &CFormDlgView::OnUpdate);
    onClick(PanelId::Postion, &CFormDlgView::OnPostion);
    // Toggled rather than clicked, so a tick set by assistive technology is read as well; writing
    // the field into the box (which already agrees with it) reads nothing back.
    connect(m_dragCheck, &QCheckBox::toggled, this, [this](bool checked) {
        if ((checked ? 1 : 0) != m_dragToRefresh)
            OnDragToRefresh();
    });
    onClick(PanelId::Add, &CFormDlgView::OnAdd);
    onClick(PanelId::Delete, &CFormDlgView::OnDelete);
    onClick(PanelId::Clear, &CFormDlgView::OnClear);
    onClick(PanelId::Single, &CFormDlgView::OnSingle);
    onClick(PanelId::Loop, &CFormDlgView::OnLoop);
    onClick(PanelId::Setting, &CFormDlgView::OnSetting);
    onClick(PanelId::SetMedian, &CFormDlgView::OnSetMedian);
    onClick(PanelId::RestoreMedian, &CFormDlgView::OnRestoreMedian);
    onClick(PanelId::LightToggle, &CFormDlgView::OnLightToggle);
    onClick(PanelId::ColorTracking, &CFormDlgView::OnColorTracking);
    onClick(PanelId::FaceTracking, &CFormDlgView::OnFaceTracking);
    onClick(PanelId::ColorInteraction, &CFormDlgView::OnColorInteraction);
    onClick(PanelId::StartTracking, &CFormDlgView::OnStartTracking);
    for (int id : {PanelId::LightRed, PanelId::LightGreen, PanelId::LightBlue})
        connect(qobject_cast<QAbstractButton *>(control(id)), &QAbstractButton::clicked, this,
                [this, id] { OnLight(id); });
    for (int id : {PanelId::ColorSorting, PanelId::ColorStacking, PanelId::GarbageSorting})
        connect(qobject_cast<QAbstractButton *>(control(id)), &QAbstractButton::clicked, this,
                &CFormDlgView::sortingGameRequested);
    for (int number = 1; number <= 15; ++number)
        connect(qobject_cast<QAbstractButton *>(control(PanelId::ActionButton(number))),
                &QAbstractButton::clicked, this, [this, number] { OnAction(number); });

    for (int k = 1; k <= 6; ++k) {
        CBitSlider *slider = m_sliders[static_cast<size_t>(k - 1)];
        // Every notification (drag steps, page clicks, keys, wheel, and the end of each action at
        // the key's or the button's release) sends its own frame.
        connect(slider, &TrackBar::notification, this, [this, k](int) { onSliderNotification(k); });
    }
}

void CFormDlgView::OnInitialUpdate()
{
    UpdateData(false);
    if (!m_initialised) {
        m_disconnectedIcon = connectionIcon(PanelId::DisconnectedIcon);
        m_connectedIcon = connectionIcon(PanelId::ConnectedIcon);
        m_picture->setPixmap(m_disconnectedIcon.pixmap(m_picture->size()));
        skinSliders();
        for (int k = 0; k < 6; ++k) {
            CBitSlider *slider = m_sliders[static_cast<size_t>(k)];
            const int maximum = k == 4 ? 270 : 180;
            slider->setRange(0, maximum);
            slider->setSingleStep(0);
            slider->setPageStep(maximum / 5);
            setSliderPosition(k + 1, startPositions[static_cast<size_t>(k)]);
        }
        m_sliders[0]->setTickInterval(1);
        UpdateData(true);
        for (int k = 0; k < 6; ++k)
            m_angles[static_cast<size_t>(k)] = m_sliders[static_cast<size_t>(k)]->value();
        setUpActionList();
    }
    m_initialised = true;
    if (auto *connect = qobject_cast<CButtonEx *>(m_connectButton))
        connect->SetButtonFont(PanelLook::ConnectFont());
    UpdateData(false);
}

void CFormDlgView::skinSliders()
{
    // The hand over the tracks and their thumbs, which the thumb only takes once it exists.
    const QCursor hand(Qt::PointingHandCursor);
    for (CBitSlider *slider : m_sliders) {
        slider->SetSkinCursor(hand);
        slider->CreateThumb(PanelLook::ThumbImage, SkinResource::ThumbFrameSize, SkinResource::ThumbFrameSize);
        // The filled track's image sizes the slider; it keeps its place in the form.
        slider->SetBitmaps(PanelLook::EmptyTrackImage, PanelLook::FilledTrackImage);
        slider->SetThumbOffset(PanelLook::ThumbOffset);
        if (CBitWnd *thumb = slider->thumb())
            thumb->setAccessibleName(slider->accessibleName() + QStringLiteral(" thumb"));
    }
}

void CFormDlgView::describeValues()
{
    // A screen reader reads a value label's text; the caption beside it names it (the caption's
    // buddy), and the description says what the value is.
    for (int k = 0; k < 6; ++k) {
        QLabel *value = m_angleLabels[static_cast<size_t>(k)];
        value->setAccessibleDescription(QStringLiteral("Servo %1 angle").arg(k + 1));
        if (auto *caption = qobject_cast<QLabel *>(control(PanelId::ServoName1 + k)))
            caption->setBuddy(value);
    }
    m_versionLabel->setAccessibleDescription(QStringLiteral("Controller version"));
    if (auto *caption = qobject_cast<QLabel *>(control(PanelId::VersionCaption)))
        caption->setBuddy(m_versionLabel);
    m_picture->setAccessibleDescription(QStringLiteral("Disconnected"));
}

bool CFormDlgView::UpdateData(bool saveAndValidate)
{
    if (!saveAndValidate) {
        for (int k = 0; k < 6; ++k)
            m_angleLabels[static_cast<size_t>(k)]->setText(QString::number(m_angles[static_cast<size_t>(k)]));
        m_intervalEdit->setText(m_intervalText);
        m_servoIdEdit->setText(m_servoIdText);
        m_versionLabel->setText(m_versionText);
        m_idNumberEdit->setText(QString::number(m_idNumber));
        m_dragCheck->setChecked(m_dragToRefresh != 0);
        m_colourBox->setEditText(m_colourChoice);
        return true;
    }
    for (int k = 0; k < 6; ++k)
        m_angles[static_cast<size_t>(k)] = leadingNumber(m_angleLabels[static_cast<size_t>(k)]->text());
    m_intervalText = m_intervalEdit->text();
    m_servoIdText = m_servoIdEdit->text();
    m_versionText = m_versionLabel->text();
    const std::optional<unsigned> idNumber = parseUnsigned(m_idNumberEdit->text());
    if (!idNumber) {
        // The fields after the ID number keep their values; the operator is taken to the edit.
        message(UnsignedIntegerPrompt);
        m_idNumberEdit->setFocus(Qt::OtherFocusReason);
        m_idNumberEdit->selectAll();
        return false;
    }
    m_idNumber = *idNumber;
    m_dragToRefresh = m_dragCheck->isChecked() ? 1 : 0;
    m_colourChoice = m_colourBox->currentText();
    return true;
}

void CFormDlgView::SendCommand(std::string frame)
{
    m_link->Send(frame);
}

void CFormDlgView::SendJointAngle(int servo, int angle, int enabled)
{
    if (enabled == 1)
        SendCommand(CommandFrames::SingleServo(servo, angle));
}

void CFormDlgView::SendPose(int angle1, int angle2, int angle3, int angle4, int angle5, int angle6, int time)
{
    SendCommand(CommandFrames::AllServos({angle1, angle2, angle3, angle4, angle5, angle6}, time));
}

void CFormDlgView::setSliderPosition(int servo, int angle)
{
    // setValue moves the thumb without a notification, so programme moves send nothing.
    m_programmaticMove = true;
    m_sliders[static_cast<size_t>(servo - 1)]->setValue(angle);
    m_programmaticMove = false;
}

void CFormDlgView::onSliderNotification(int servo)
{
    if (m_programmaticMove)
        return;
    UpdateData(true);
    const int angle = m_sliders[static_cast<size_t>(servo - 1)]->sliderPosition();
    m_angles[static_cast<size_t>(servo - 1)] = angle;
    m_pose->edit([servo, angle](ArmPose &pose) { PoseFormulas::FromSlider(pose, servo, angle); });
    SendJointAngle(servo, angle, m_dragToRefresh);
    UpdateData(false);
}

void CFormDlgView::ResetToMiddle()
{
    for (int k = 1; k <= 6; ++k)
        setSliderPosition(k, middlePose[static_cast<size_t>(k - 1)]);
    m_angles = middlePose;
    m_pose->edit(&PoseFormulas::Centre);
    SendCommand(CommandFrames::Middle());
    UpdateData(false);
    m_form->update();
}

void CFormDlgView::OnUpdate()
{
    for (int k = 0; k < 6; ++k)
        m_angles[static_cast<size_t>(k)] = m_sliders[static_cast<size_t>(k)]->value();
    SendPose(m_angles[0], m_angles[1], m_angles[2], m_angles[3], m_angles[4], m_angles[5], UpdatePoseTimeMs);
}

void CFormDlgView::OnStop()
{
    if (m_stopButton->text() == QLatin1String("Stop")) {
        setCaption(m_stopButton, QStringLiteral("Restore"));
        SendCommand(CommandFrames::Stop());
    } else {
        setCaption(m_stopButton, QStringLiteral("Stop"));
        SendCommand(CommandFrames::Restore());
    }
}

void CFormDlgView::OnDragToRefresh()
{
    UpdateData(true);
}

void CFormDlgView::SetJointFromView(int send, int servo, int value)
{
    if (servo >= 1 && servo <= 6) {
        const int angle = static_cast<int>(std::clamp<long long>(static_cast<long long>(value) + 90, INT_MIN, INT_MAX));
        setSliderPosition(servo, angle);
        m_angles[static_cast<size_t>(servo - 1)] = angle;
        if (send != 0)
            SendJointAngle(servo, angle, 1);
    }
    UpdateData(false);
}

void CFormDlgView::OnConnect()
{
    if (m_link->isConnected()) {
        m_link->Close();
        showConnected(false, QStringLiteral("Connect"));
        return;
    }

    const std::optional<ConnectionChoice> choice = m_connectionDialog ? m_connectionDialog(this) : std::nullopt;
    if (!choice)
        return;
    // The dialog treats every mode but 0 as the serial port; so does the panel.
    m_method = choice->mode != 0 ? 1 : 0;
    if (m_method == 1) {
        m_comNumber = choice->comNumber;
        m_baud = choice->baud;
        // Whatever an earlier press left pending ends here: at most one link is ever live.
        if (m_link->OpenSerial(m_comNumber, m_baud)) {
            showConnected(true, QStringLiteral("Disconect"));
            UpdateData(false);
        } else {
            showConnected(false, QStringLiteral("Connect"));
            message(m_link->failureText());
        }
        return;
    }

    m_hostAddress = choice->addr;
    m_tcpPort = choice->port;
    m_videoPort = choice->video;
    if (choice->videoAddrChanged == 1)
        emit videoAddressChanged();
    UpdateData(true);
    if (!m_link->ConnectNetwork(m_hostAddress, m_tcpPort)) {
        showConnected(false, QStringLiteral("Connect"));
        message(SocketFailedText);
    }
}

void CFormDlgView::OnSocketConnected(bool ok)
{
    if (ok) {
        showConnected(true, QStringLiteral("Disconnect"));
        return;
    }
    showConnected(false, QStringLiteral("Connect"));
    message(SocketFailedText);
}

void CFormDlgView::OnSocketClosed()
{
    showConnected(false, QStringLiteral("Connect"));
}

void CFormDlgView::OnSerialLost()
{
    // The device is gone (adapter unplugged, peer closed): the link is down, as after Disconnect.
    showConnected(false, QStringLiteral("Connect"));
}

bool CFormDlgView::isConnected() const
{
    return m_link->isConnected();
}

bool CFormDlgView::hasSocket() const
{
    return m_link->hasSocket();
}

void CFormDlgView::showConnected(bool connected, const QString &caption)
{
    setCaption(m_connectButton, caption);
    m_picture->setAccessibleDescription(connected ? QStringLiteral("Connected") : QStringLiteral("Disconnected"));
    m_picture->setPixmap((connected ? m_connectedIcon : m_disconnectedIcon).pixmap(m_picture->size()));
}

void CFormDlgView::onFrameReceived(const std::string &frame, ArmLink::Method via)
{
    if (via == ArmLink::Method::Serial) {
        m_lastFrame = frame;
        m_receiveText.clear();
        ParseReply(frame);
    } else if (ReplyParser::Code(frame) == ReplyParser::JointAnglesCode) {
        // Over the network only the joint angles are taken: the version the controller announces
        // on every new connection is never shown from there.
        ParseReply(frame);
    }
}

void CFormDlgView::ParseReply(std::string frame)
{
    switch (ReplyParser::Code(frame)) {
    case ReplyParser::VersionCode:
        m_versionText = QString::fromStdString(ReplyParser::VersionText(frame));
        UpdateData(false);
        break;
    case ReplyParser::JointAnglesCode:
        if (const auto angles = ReplyParser::JointAngles(frame))
            applyJointAngles(*angles);
        break;
    default:
        break;
    }
}

void CFormDlgView::applyJointAngles(const std::array<int, 6> &angles)
{
    // No range test: a slider stops at its end, the joint angle keeps what was reported.
    ArmPose pose = m_pose->pose();
    for (int k = 1; k <= 6; ++k) {
        const int angle = angles[static_cast<size_t>(k - 1)];
        m_angles[static_cast<size_t>(k - 1)] = angle;
        setSliderPosition(k, angle);
        PoseFormulas::FromReportedAngle(pose, k, angle);
    }
    m_pose->setPose(pose);
    UpdateData(false);
    m_form->update();
}

void CFormDlgView::OnPostion()
{
    SendCommand(CommandFrames::RequestAngles());
    if (m_method != 0 || !m_link->hasSocket())
        return;
    // The answer is read once, 400 ms later; the window stays responsive meanwhile. A second
    // press before then sends again and moves the read to 400 ms after it.
    m_positionReadGeneration = m_link->generation();
    m_positionReadTimer.start();
}

void CFormDlgView::readPositionReply()
{
    // The connection the request went out on may have been closed or replaced meanwhile.
    if (!m_link->hasSocket() || m_positionReadGeneration != m_link->generation() || m_method != 0)
        return;
    // What arrived may hold frames of other codes (the version the controller announces when the
    // connection opens) and late answers: each complete frame is read for what it is, so the
    // newest joint-angle reply gives the pose, and a frame cut by the read completes next time.
    if (m_link->ReadNetworkReplies() < 0)
        message(SocketErrorText);
}

void CFormDlgView::OnAdd()
{
    UpdateData(true);
    const int row = std::min(m_actionCount, m_actionList->rowCount());
    m_actionList->insertRow(row);
    m_actionList->setItem(row, 0, new QTableWidgetItem(QString::number(m_actionCount)));
    for (int k = 1; k <= 6; ++k)
        m_actionList->setItem(row, k, new QTableWidgetItem(QString::number(m_angles[static_cast<size_t>(k - 1)])));
    m_actionList->setItem(row, 7, new QTableWidgetItem(m_intervalText));
    ++m_actionCount;
    UpdateData(false);
}

void CFormDlgView::OnDelete()
{
    QList<int> rows;
    for (const QModelIndex &index : m_actionList->selectionModel()->selectedRows())
        rows.append(index.row());
    if (rows.isEmpty()) {
        message(NothingSelectedText, QStringLiteral("Info"), QMessageBox::Warning);
        return;
    }
    std::sort(rows.begin(), rows.end(), std::greater<int>());
    for (int row : rows)
        m_actionList->removeRow(row);
    m_actionCount = std::max(0, m_actionCount - static_cast<int>(rows.size()));
    for (int row = 0; row < m_actionList->rowCount(); ++row) {
        if (QTableWidgetItem *item = m_actionList->item(row, 0))
            item->setText(QString::number(row));
    }
}

void CFormDlgView::OnClear()
{
    m_actionList->setRowCount(0);
    m_actionCount = 0;
}

void CFormDlgView::OnSingle()
{
    if (m_actionCount == 0) {
        message(EmptyActionGroupText, ApplicationTitle, QMessageBox::Information);
        return;
    }
    m_playbackTimer.start(PlaybackStartMs);
}

void CFormDlgView::OnLoop()
{
    if (m_looping) {
        m_looping = false;
        setCaption(m_loopButton, QStringLiteral("Loop"));
        m_playbackTimer.stop();
        ResetToMiddle();
    } else if (m_actionCount == 0) {
        message(EmptyActionGroupText, ApplicationTitle, QMessageBox::Information);
    } else {
        m_playbackTimer.start(PlaybackStartMs);
        m_looping = true;
        setCaption(m_loopButton, QStringLiteral("Loop off"));
    }
}

void CFormDlgView::OnTimer(int id)
{
    if (id != PanelId::PlaybackTimer)
        return;
    if (m_playPosition >= static_cast<unsigned>(std::max(0, m_actionCount))) {
        // Played through: a loop starts again a second later, a single run ends.
        if (m_looping)
            m_playbackTimer.start(PlaybackStartMs);
        else
            m_playbackTimer.stop();
        m_playPosition = 0;
        return;
    }
    const int row = static_cast<int>(m_playPosition);
    auto cell = [this, row](int column) {
        const QTableWidgetItem *item = m_actionList->item(row, column);
        return item ? leadingNumber(item->text()) : 0;
    };
    ArmPose pose = m_pose->pose();
    for (int k = 1; k <= 6; ++k) {
        const int angle = cell(k);
        PoseFormulas::FromReportedAngle(pose, k, angle);
        setSliderPosition(k, angle);
        m_angles[static_cast<size_t>(k - 1)] = angle;
    }
    m_pose->setPose(pose);
    const int time = cell(7);
    SendPose(m_angles[0], m_angles[1], m_angles[2], m_angles[3], m_angles[4], m_angles[5], time);
    UpdateData(false);
    // The row's time is also the wait before the next row; a negative time waits for nothing.
    m_playbackTimer.start(std::max(0, time));
    ++m_playPosition;
}

QString CFormDlgView::chooseActionGroupFile(bool forSaving)
{
    QSettings settings;
    const QString folder = settings.value(ActionGroupFolderKey, QDir::homePath()).toString();
    const QString path = m_fileNameDialog ? m_fileNameDialog(this, forSaving, folder) : QString();
    if (!path.isEmpty())
        settings.setValue(ActionGroupFolderKey, QFileInfo(path).absolutePath());
    return path;
}

void CFormDlgView::OnSaveActionGroup()
{
    if (m_actionList->rowCount() == 0) {
        message(EmptyActionGroupText, ApplicationTitle, QMessageBox::Information);
        return;
    }
    const QString path = chooseActionGroupFile(true);
    if (path.isEmpty())
        return;
    QList<ActionGroupFile::Row> rows;
    for (int row = 0; row < m_actionList->rowCount(); ++row) {
        auto cell = [this, row](int column) {
            const QTableWidgetItem *item = m_actionList->item(row, column);
            return item ? item->text() : QString();
        };
        ActionGroupFile::Row entry;
        for (int k = 1; k <= 6; ++k)
            entry.angles[static_cast<size_t>(k - 1)] = cell(k);
        entry.interval = cell(7);
        rows.append(entry);
    }
    if (const QString error = ActionGroupFile::Write(path, rows); !error.isEmpty())
        message(QStringLiteral("The action group could not be saved to %1.\n\n%2").arg(QDir::toNativeSeparators(path), error));
}

void CFormDlgView::OnOpenActionGroup()
{
    const QString path = chooseActionGroupFile(false);
    if (path.isEmpty())
        return;
    const ActionGroupFile::ReadResult read = ActionGroupFile::Read(path);
    if (!read.error.isEmpty()) {
        message(QStringLiteral("The action group in %1 could not be opened.\n\n%2").arg(QDir::toNativeSeparators(path), read.error));
        return;
    }
    // Playback ends first. The arm stays where it is: opening a file is no command to the arm.
    m_playbackTimer.stop();
    if (m_looping) {
        m_looping = false;
        setCaption(m_loopButton, QStringLiteral("Loop"));
    }
    m_actionList->setRowCount(0);
    m_actionList->setRowCount(static_cast<int>(read.rows.size()));
    for (int row = 0; row < m_actionList->rowCount(); ++row) {
        const ActionGroupFile::Row &entry = read.rows[row];
        m_actionList->setItem(row, 0, new QTableWidgetItem(QString::number(row)));
        for (int k = 1; k <= 6; ++k)
            m_actionList->setItem(row, k, new QTableWidgetItem(entry.angles[static_cast<size_t>(k - 1)]));
        m_actionList->setItem(row, 7, new QTableWidgetItem(entry.interval));
    }
    m_actionCount = m_actionList->rowCount();
    m_playPosition = 0;
}

void CFormDlgView::OnAction(int number)
{
    if (PanelId::ActionButton(number) != 0)
        SendCommand(CommandFrames::RunAction(number));
}

void CFormDlgView::OnSetting()
{
    UpdateData(true);
    if (m_servoIdText.isEmpty()) {
        message(QStringLiteral("Please input the steering gear ID number first."), ApplicationTitle,
                QMessageBox::Information);
        return;
    }
    const int id = leadingNumber(m_servoIdText);
    if (id <= 0) {
        message(QStringLiteral("The ID number of steering gear should not be less than or equal to 0. "
                               "Please enter it again"),
                ApplicationTitle, QMessageBox::Information);
        return;
    }
    SendCommand(CommandFrames::WriteServoId(id));
}

void CFormDlgView::OnSetMedian()
{
    UpdateData(true);
    SendCommand(CommandFrames::SetMedian(static_cast<int>(std::min<unsigned>(m_idNumber, INT_MAX))));
}

void CFormDlgView::OnRestoreMedian()
{
    SendCommand(CommandFrames::RestoreMedians());
}

void CFormDlgView::OnLight(int control)
{
    switch (control) {
    case PanelId::LightRed: SendCommand(CommandFrames::SetLight(CommandFrames::Light::Red)); break;
    case PanelId::LightGreen: SendCommand(CommandFrames::SetLight(CommandFrames::Light::Green)); break;
    case PanelId::LightBlue: SendCommand(CommandFrames::SetLight(CommandFrames::Light::Blue)); break;
    default: break;
    }
}

void CFormDlgView::OnLightToggle()
{
    if (m_lightToggle->text() == QLatin1String("OFF")) {
        setCaption(m_lightToggle, QStringLiteral("ON"));
        SendCommand(CommandFrames::SetLight(CommandFrames::Light::Off));
    } else {
        setCaption(m_lightToggle, QStringLiteral("OFF"));
        SendCommand(CommandFrames::SetLight(CommandFrames::Light::On));
    }
}

void CFormDlgView::OnColorTracking()
{
    UpdateData(true);
    message(m_colourChoice, ApplicationTitle, QMessageBox::NoIcon);
    static const QStringList names{QStringLiteral("OFF"), QStringLiteral("Red"), QStringLiteral("Green"),
                                   QStringLiteral("Blue"), QStringLiteral("Yellow")};
    const int colour = static_cast<int>(names.indexOf(m_colourChoice));
    if (colour >= 0)
        SendCommand(CommandFrames::ColourTracking(colour));
}

void CFormDlgView::OnFaceTracking()
{
    if (!m_faceTracking) {
        SendCommand(CommandFrames::FaceTracking(true));
        m_faceTracking = true;
        setCaption(m_faceButton, QStringLiteral("Face tracking\nOFF"));
    } else {
        SendCommand(CommandFrames::FaceTracking(false));
        m_faceTracking = false;
        setCaption(m_faceButton, QStringLiteral("Face tracking\nON"));
    }
}

void CFormDlgView::OnColorInteraction()
{
    SendCommand(CommandFrames::ColourInteraction());
}

void CFormDlgView::OnStartTracking()
{
    SendCommand(CommandFrames::StartTracking());
}

bool CFormDlgView::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type == QEvent::ShortcutOverride || type == QEvent::KeyPress || type == QEvent::KeyRelease) {
        auto *key = static_cast<QKeyEvent *>(event);
        const int command = PanelKeyTable::Command(key->key(), key->modifiers());
        // Save belongs to the document: it is left to the window's own shortcut.
        if (command != 0 && command != PanelKeyTable::SaveCommand) {
            if (type == QEvent::ShortcutOverride) {
                // Claim the key so no window shortcut takes it; the press then comes here.
                key->accept();
                return true;
            }
            if (type == QEvent::KeyPress && command == PanelId::Stop)
                OnStop();
            return true;
        }
    }
    return QScrollArea::eventFilter(watched, event);
}

void CFormDlgView::message(const QString &text, const QString &title, QMessageBox::Icon icon)
{
    if (m_messageBox)
        m_messageBox(text, title, icon);
}

void CFormDlgView::setCaption(QAbstractButton *button, const QString &text)
{
    if (auto *coloured = qobject_cast<CButtonEx *>(button))
        coloured->SetText(text);
    else
        button->setText(text);
    button->setAccessibleName(describe(button->objectName().toInt(), text));
}

QIcon CFormDlgView::connectionIcon(int number)
{
    if (const QString path = SkinResourcePath(number); !path.isEmpty()) {
        if (QPixmap image(path); !image.isNull())
            return QIcon(image);
    }
    // Without the image: the same filled disc on a transparent ground: red while disconnected, green while connected.
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(number == PanelId::ConnectedIcon ? QColor(0, 200, 0) : QColor(220, 0, 0));
    painter.drawEllipse(QRectF(2, 2, 28, 28));
    painter.end();
    return QIcon(pixmap);
}

QString CFormDlgView::runFileNameDialog(QWidget *parent, bool forSaving, const QString &folder)
{
    QFileDialog dialog(parent, forSaving ? QStringLiteral("Save action group") : QStringLiteral("Open action group"),
                       folder, ActionGroupFilter);
    dialog.setAcceptMode(forSaving ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(forSaving ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(QStringLiteral("kvg"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

std::optional<CFormDlgView::ConnectionChoice> CFormDlgView::runConnectionDialog(QWidget *parent)
{
    CDengluDlg dialog(parent);
    if (dialog.DoModal() != CDengluDlg::IDOK)
        return std::nullopt;
    ConnectionChoice choice;
    choice.mode = dialog.m_mode;
    choice.comNumber = dialog.m_comNumber;
    choice.baud = dialog.m_baud;
    choice.addr = dialog.m_addr;
    choice.port = dialog.m_port;
    choice.video = dialog.m_video;
    choice.videoAddrChanged = dialog.m_videoAddrChanged;
    return choice;
}
