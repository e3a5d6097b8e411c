#include "pages/AutoEqDlg.h"

#include "controls/AutoEqPlot.h"
#include "controls/EqBandEditor.h"
#include "files/Measurement.h"
#include "model/EqIo.h"
#include "pages/Page.h"
#include "ui/Language.h"
#include "ui/Prompts.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QThreadPool>
#include <QVBoxLayout>

#include <cmath>

namespace {

const int kSmoothings[] = {0, 48, 24, 12, 6, 3, 1}; // 1/N octave; 0 none
constexpr int kDefaultSmoothing = 4;                // 1/6

QString Hz(double hz) {
    return QString::fromStdString(EqFitHz(hz));
}

QString ErrorLine(const AutoEqError& e) {
    return Tr("均方根 %1 dB，最大 %2 dB（%3）", "RMS %1 dB, largest %2 dB at %3")
        .arg(e.fRmsDb, 0, 'f', 2)
        .arg(e.fMaxDb, 0, 'f', 1)
        .arg(Hz(e.fMaxHz));
}

std::string TitleOf(int eq) {
    return std::string(kEqNumbers[eq].szName) + " (" + kEqShortNames[eq] + ")";
}

QDoubleSpinBox* NumberBox(double lo, double hi, double step, int decimals, double value,
                          const QString& suffix) {
    auto* box = new QDoubleSpinBox;
    box->setRange(lo, hi);
    box->setSingleStep(step);
    box->setDecimals(decimals);
    box->setValue(value);
    box->setSuffix(suffix);
    box->setKeyboardTracking(false); // a refit per finished number, not per keystroke
    return box;
}

} // namespace

CAutoEqDlg::CAutoEqDlg(int eq, ApplyFit apply, QWidget* parent)
    : QDialog(parent), m_nEq(eq), m_apply(std::move(apply)) {
    setWindowTitle(Tr("根据测量自动均衡", "Auto EQ from measurement") + QStringLiteral(" — ") +
                   CEqPanel::KindTitle(eq));
    BuildControls();
    m_channel = EqFitChannelOf(m_nEq, 0);
    ShowMessage(Tr("请添加测量文件", "Add a measurement file"));
}

void CAutoEqDlg::BuildControls() {
    m_pPlot = new CAutoEqPlot(this);
    m_pPlot->setMinimumSize(820, 300);
    m_pPlot->SetBands(m_nEq, {}, {});

    auto* files = new QGroupBox(Tr("测量（多个位置取平均）", "Measurements (positions are averaged)"));
    m_pFiles = new QListWidget;
    m_pFiles->setMaximumHeight(80);
    auto* add = new QPushButton(Tr("添加…", "Add…"));
    auto* remove = new QPushButton(Tr("移除", "Remove"));
    m_pTargetName = new QLabel(Tr("目标：平直", "Target: flat"));
    auto* target = new QPushButton(Tr("目标曲线…", "Target curve…"));
    auto* flat = new QPushButton(Tr("平直", "Flat"));
    auto* fileButtons = new QHBoxLayout;
    fileButtons->addWidget(add);
    fileButtons->addWidget(remove);
    fileButtons->addStretch();
    auto* targetRow = new QHBoxLayout;
    targetRow->addWidget(m_pTargetName, 1);
    targetRow->addWidget(target);
    targetRow->addWidget(flat);
    auto* filesLayout = new QVBoxLayout(files);
    filesLayout->addWidget(m_pFiles);
    filesLayout->addLayout(fileButtons);
    filesLayout->addLayout(targetRow);

    const EqFitOptions defaults;
    const EqFitChannel channel = EqFitChannelOf(m_nEq, 0);
    auto* limits = new QGroupBox(Tr("拟合", "Fit"));
    m_pLo = NumberBox(20, 20000, 1, 0, defaults.fLoHz, QStringLiteral(" Hz"));
    m_pHi = NumberBox(20, 20000, 10, 0, defaults.fHiHz, QStringLiteral(" Hz"));
    m_pBands = new QSpinBox;
    m_pBands->setRange(1, std::max(1, channel.nUserBands));
    m_pBands->setValue(std::max(1, channel.nBands));
    m_pBands->setKeyboardTracking(false);
    m_pBoost = NumberBox(0, kAutoEqMaxCutDb, 0.5, 1, defaults.fMaxBoostDb, QStringLiteral(" dB"));
    m_pQ = NumberBox(0.1, 30, 0.5, 1, defaults.fMaxQ, QString());
    m_pSmooth = new QComboBox;
    for (int n : kSmoothings)
        m_pSmooth->addItem(n ? QStringLiteral("1/%1").arg(n) : Tr("无", "none"), n);
    m_pSmooth->setCurrentIndex(kDefaultSmoothing);
    auto* range = new QHBoxLayout;
    range->addWidget(m_pLo);
    range->addWidget(new QLabel(QStringLiteral("–")));
    range->addWidget(m_pHi);
    auto* form = new QFormLayout(limits);
    form->addRow(Tr("范围", "Range"), range);
    form->addRow(Tr("频段数", "Bands"), m_pBands);
    form->addRow(Tr("最大提升", "Max boost"), m_pBoost);
    form->addRow(Tr("最大Q值", "Max Q"), m_pQ);
    form->addRow(Tr("平滑（倍频程）", "Smoothing (octave)"), m_pSmooth);

    m_pTable = new QTableWidget(0, 5);
    m_pTable->setHorizontalHeaderLabels(
        {QString(), Tr("类型", "Type"), Tr("频率", "Freq"), Tr("增益", "Gain"), Tr("Q值", "Q")});
    m_pTable->verticalHeader()->hide();
    m_pTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_pTable->setSelectionMode(QAbstractItemView::NoSelection);
    m_pTable->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    m_pTable->setMinimumWidth(300);

    m_pErrors = new QLabel;
    m_pErrors->setWordWrap(true);
    m_pErrors->setMinimumHeight(48);
    m_pErrors->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    auto* buttons = new QDialogButtonBox;
    m_pApply = buttons->addButton(Tr("应用", "Apply"), QDialogButtonBox::AcceptRole);
    m_pApply->setEnabled(false);
    buttons->addButton(Tr("关闭", "Close"), QDialogButtonBox::RejectRole);

    auto* left = new QVBoxLayout;
    left->addWidget(files);
    left->addWidget(limits);
    auto* middle = new QHBoxLayout;
    middle->addLayout(left, 1);
    middle->addWidget(m_pTable, 1);
    auto* all = new QVBoxLayout(this);
    all->addWidget(m_pPlot, 3);
    all->addLayout(middle, 2);
    all->addWidget(m_pErrors);
    all->addWidget(buttons);

    connect(add, &QPushButton::clicked, this, [this] { AskForMeasurement(); });
    connect(remove, &QPushButton::clicked, this, [this] {
        const int row = m_pFiles->currentRow() >= 0 ? m_pFiles->currentRow() : m_pFiles->count() - 1;
        if (row < 0 || row >= static_cast<int>(m_measurements.size()))
            return;
        delete m_pFiles->takeItem(row);
        m_measurements.erase(m_measurements.begin() + row);
        Refit();
    });
    connect(target, &QPushButton::clicked, this, [this] {
        const QString path =
            AskFileToOpen(this, Tr("目标曲线 (*.txt *.frd *.csv)", "Target curves (*.txt *.frd *.csv)"));
        if (!path.isEmpty())
            SetTarget(path);
    });
    connect(flat, &QPushButton::clicked, this, [this] { SetTarget(QString()); });
    for (QDoubleSpinBox* box : {m_pLo, m_pHi, m_pBoost, m_pQ})
        connect(box, &QDoubleSpinBox::valueChanged, this, [this] { Refit(); });
    connect(m_pBands, &QSpinBox::valueChanged, this, [this] { Refit(); });
    connect(m_pSmooth, &QComboBox::currentIndexChanged, this, [this] { Refit(); });
    connect(buttons, &QDialogButtonBox::accepted, this, &CAutoEqDlg::OnApply);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

bool CAutoEqDlg::AskForMeasurement() {
    const QString path =
        AskFileToOpen(this, Tr("测量文件 (*.txt *.frd *.csv)", "Measurements (*.txt *.frd *.csv)"));
    return !path.isEmpty() && AddMeasurement(path);
}

std::optional<Response> CAutoEqDlg::ReadResponse(const QString& path, const char* szWhat, bool quiet) {
    const MeasurementResult m = ReadMeasurementFile(path.toStdString(), szWhat);
    if (m.bOk)
        return m.response;
    if (!quiet)
        AskBox(this, QMessageBox::Warning, Tr("错误", "Error"),
               QFileInfo(path).fileName() + QStringLiteral(": ") +
                   QString::fromStdString(FormatFilterNote(m.error)),
               QMessageBox::Ok);
    return std::nullopt;
}

bool CAutoEqDlg::AddMeasurement(const QString& path, bool quiet) {
    std::optional<Response> m = ReadResponse(path, "measurement", quiet);
    if (!m)
        return false;
    m_measurements.push_back(std::move(*m));
    m_pFiles->addItem(QFileInfo(path).fileName());
    Refit();
    return true;
}

bool CAutoEqDlg::SetTarget(const QString& path, bool quiet) {
    if (path.isEmpty()) {
        m_target.reset();
        m_pTargetName->setText(Tr("目标：平直", "Target: flat"));
        Refit();
        return true;
    }
    std::optional<Response> t = ReadResponse(path, "target curve", quiet);
    if (!t)
        return false;
    m_target = std::move(t);
    m_pTargetName->setText(Tr("目标：", "Target: ") + QFileInfo(path).fileName());
    Refit();
    return true;
}

EqFitOptions CAutoEqDlg::Options() const {
    EqFitOptions o;
    o.nBands = m_pBands->value();
    o.fLoHz = m_pLo->value();
    o.fHiHz = m_pHi->value();
    o.fMaxBoostDb = m_pBoost->value();
    o.fMaxQ = m_pQ->value();
    o.nSmoothing = m_pSmooth->currentData().toInt();
    return o;
}

void CAutoEqDlg::Refit() {
    m_bPending = true;
    if (!m_bRunning)
        StartFit();
}

void CAutoEqDlg::StartFit() {
    m_bPending = false;
    m_pApply->setEnabled(false);
    const EqFitOptions options = Options();
    if (m_measurements.empty()) {
        m_outcome = EqFitOutcome{};
        ShowMessage(Tr("请添加测量文件", "Add a measurement file"));
        return;
    }
    if (!(options.fHiHz > options.fLoHz * std::exp2(1.0 / 12))) {
        m_outcome = EqFitOutcome{};
        ShowMessage(Tr("范围的上限须高于下限", "The range's upper end must lie above its lower end"));
        return;
    }
    // The store is read here, on the UI thread; the worker gets copies only.
    m_channel = EqFitChannelOf(m_nEq, options.nBands);
    const int generation = ++m_nGeneration;
    m_bRunning = true;
    m_pErrors->setText(Tr("正在拟合…", "Fitting…"));
    QPointer<CAutoEqDlg> self(this);
    QThreadPool::globalInstance()->start([self, generation, channel = m_channel,
                                          measurements = m_measurements, target = m_target, options,
                                          title = TitleOf(m_nEq)] {
        auto outcome = std::make_shared<const EqFitOutcome>(
            RunEqFit(channel, measurements, target ? &*target : nullptr, options, title));
        // Back on the UI thread; a window closed meanwhile drops the result.
        QMetaObject::invokeMethod(
            qApp,
            [self, generation, outcome] {
                if (self)
                    self->OnFitted(generation, outcome);
            },
            Qt::QueuedConnection);
    });
}

void CAutoEqDlg::OnFitted(int generation, std::shared_ptr<const EqFitOutcome> outcome) {
    m_bRunning = false;
    if (m_bPending) { // the controls changed while it ran: only the newest request is shown
        StartFit();
        return;
    }
    if (generation != m_nGeneration)
        return;
    m_outcome = *outcome;
    ShowOutcome();
    emit Fitted();
}

void CAutoEqDlg::ShowMessage(const QString& text) {
    m_pPlot->SetCurves({}, 0);
    m_pPlot->SetBands(m_nEq, {}, {});
    m_pPlot->SetMessage(text);
    m_pTable->setRowCount(0);
    m_pErrors->setText(text);
}

void CAutoEqDlg::ShowOutcome() {
    const EqFitOutcome& o = m_outcome;
    if (!o.bOk) {
        ShowMessage(QString::fromStdString(o.strError));
        return;
    }
    const AutoEqResult& r = o.fit;
    m_pPlot->SetMessage(QString());
    m_pPlot->SetBands(m_nEq, r.bands, m_channel.kept);
    m_pPlot->SetCurves(
        {{Tr("测量", "measured"), QColor(150, 150, 150), Qt::SolidLine, o.input.hz, o.input.measured},
         {Tr("目标", "target"), QColor(255, 255, 255), Qt::DashLine, o.input.hz, r.target},
         {Tr("预测", "predicted"), QColor(255, 150, 40), Qt::SolidLine, o.input.hz, r.predicted}},
        r.fLevelDb);

    const int rows = static_cast<int>(r.bands.size()) + (m_channel.bKeepsCrossover ? 1 : 0);
    m_pTable->setRowCount(rows);
    for (int b = 0; b < rows; ++b) {
        QStringList cells{QString::number(b + 1)};
        if (b >= static_cast<int>(r.bands.size())) {
            cells << Tr("分频器", "crossover") << Tr("保留", "kept") << QString() << QString();
        } else if (r.bands[b].nType == EQ_OFF) {
            cells << CEqBandEditor::TypeName(EQ_OFF) << QString() << QString() << QString();
        } else {
            const BandValues& v = r.bands[b];
            cells << CEqBandEditor::TypeName(v.nType) << QStringLiteral("%1Hz").arg(v.fFreq, 0, 'f', 0)
                  << CEqPanel::GainText(v.fGain) << QString::number(v.fQ, 'f', 3);
        }
        for (int c = 0; c < cells.size(); ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            item->setTextAlignment(Qt::AlignCenter);
            m_pTable->setItem(b, c, item);
        }
    }

    QStringList lines{Tr("拟合前：", "Before: ") + ErrorLine(r.before),
                      Tr("拟合后（预测）：", "After (predicted): ") + ErrorLine(r.after)};
    if (r.fBoostShortDb > 0)
        lines << Tr("%1 处的凹陷还需要 %2 dB 提升，超出最大提升，保持不变。",
                    "The dip at %1 needs %2 dB more boost than the limit allows; it stays.")
                     .arg(Hz(r.fBoostShortHz))
                     .arg(r.fBoostShortDb, 0, 'f', 1);
    for (const std::string& w : o.warnings)
        lines << QString::fromStdString(w);
    if (m_channel.bKeepsCrossover)
        lines << Tr("频段10保留分频器。", "Band 10 keeps its crossover.");
    m_pErrors->setText(lines.join(QLatin1Char('\n')));
    m_pApply->setEnabled(true);
}

bool CAutoEqDlg::CommitFit() {
    return m_outcome.bOk && m_apply && m_apply(m_nEq, m_outcome);
}

void CAutoEqDlg::OnApply() {
    if (m_bRunning || !m_outcome.bOk)
        return;
    if (CommitFit())
        accept();
}

void InstallAutoEq(CPage* page, CEqBandEditor* editor) {
    EqEditorHooks hooks = editor->Hooks();
    hooks.autoEq = [page, editor](int eq) {
        CAutoEqDlg dlg(eq, editor->Hooks().applyFit, page);
        if (dlg.AskForMeasurement())
            page->RunModal(dlg);
    };
    editor->SetHooks(hooks);
}
