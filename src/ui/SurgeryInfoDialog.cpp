#include "SurgeryInfoDialog.h"

#include <QAction>
#include <QActionGroup>
#include <QChart>
#include <QChartView>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QList>
#include <QMenu>
#include <QPointF>
#include <QPushButton>
#include <QScatterSeries>
#include <QScreen>
#include <QShowEvent>
#include <QValueAxis>
#include <QVBoxLayout>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <numbers>
#include <string>
#include <system_error>
#include <utility>

#include "ChartAxes.h"
#include "NumberFormat.h"

namespace orbench::ui {

namespace {

constexpr int CurvePoints = 1000;
constexpr int CumulativeSteps = 1000;
const double Sqrt2Pi = std::sqrt(2 * std::numbers::pi);

bool IsDigit(char Ch) { return Ch >= '0' && Ch <= '9'; }

// A decimal number whatever the locale: ',' and '.' both serve as the decimal separator, leading
// spaces are skipped, an exponent with e or E is allowed. Empty text, anything after the number,
// a second separator (so any thousands separator) or a value out of range is an error.
bool ParseDecimal(const QString& Text, double& Value)
{
    std::string S = Text.toStdString();
    std::replace(S.begin(), S.end(), ',', '.');
    std::size_t I = 0;
    while (I < S.size() && S[I] == ' ') ++I;
    bool Negative = false;
    if (I < S.size() && (S[I] == '+' || S[I] == '-')) {
        Negative = S[I] == '-';
        ++I;
    }
    const std::size_t Start = I;
    int MantissaDigits = 0;
    while (I < S.size() && IsDigit(S[I])) ++I, ++MantissaDigits;
    if (I < S.size() && S[I] == '.') {
        ++I;
        while (I < S.size() && IsDigit(S[I])) ++I, ++MantissaDigits;
    }
    if (MantissaDigits == 0) return false;
    if (I < S.size() && (S[I] == 'e' || S[I] == 'E')) {
        ++I;
        if (I < S.size() && (S[I] == '+' || S[I] == '-')) ++I;
        int ExponentDigits = 0;
        while (I < S.size() && IsDigit(S[I])) ++I, ++ExponentDigits;
        if (ExponentDigits == 0) return false;
    }
    if (I != S.size()) return false;

    double Parsed = 0;
    const char* const End = S.data() + S.size();
    const std::from_chars_result Result = std::from_chars(S.data() + Start, End, Parsed);
    if (Result.ec != std::errc() || Result.ptr != End) return false;
    Value = Negative ? -Parsed : Parsed;
    return true;
}

QString FromModel(const std::string& Text) { return QString::fromStdString(Text); }

// The labels hold this many characters: any general-format number, and any fixed-format one
// below 10^12.
constexpr int LabelCharacters = 22;
constexpr int AxisTicksX = 8;
constexpr int AxisTicksY = 7;
// The chart takes a range of 1e-12 or less for an empty one and draws nothing.
constexpr double SmallestSpan = 1e-10;

// Decimals with the locale's separator, or the same digits in exponent notation when the fixed
// form would not fit the label: minutes as a reader uses them with 1, the full "%0.8f" with 8.
QString FormatForLabel(double Value, int Decimals)
{
    const std::string Fixed = FormatFixedLocale(Value, Decimals);
    if (static_cast<int>(Fixed.size()) <= LabelCharacters) return FromModel(Fixed);
    QString Exponent = QString::asprintf("%.*e", Decimals, Value);
    if (DecimalSeparator() != '.') Exponent.replace('.', QChar(DecimalSeparator()));
    return Exponent;
}
QString FormatMinutes(double Value) { return FormatForLabel(Value, 1); }
QString FormatLabel(double Value) { return FormatForLabel(Value, 8); }

}  // namespace

TSurgeryInfoDialog::TSurgeryInfoDialog(QWidget* Parent) : QDialog(Parent)
{
    setObjectName("Form2");
    setWindowTitle("Info about surgery");

    FP1LE = new QLineEdit(this);
    FP2LE = new QLineEdit(this);
    FP3LE = new QLineEdit(this);
    FP1LE->setObjectName("P1LE");
    FP2LE->setObjectName("P2LE");
    FP3LE->setObjectName("P3LE");
    FMuL = new QLabel("0", this);
    FSigmaL = new QLabel("0", this);
    FMuL->setObjectName("MuL");
    FSigmaL->setObjectName("SigmaL");
    // Fixed widths: long numbers never widen the dialog.
    const int LabelWidth = fontMetrics().horizontalAdvance(QString(LabelCharacters, '0')) + 4;
    for (QLabel* Label : {FMuL, FSigmaL}) {
        Label->setFixedWidth(LabelWidth);
        Label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    }
    for (QLineEdit* Edit : {FP1LE, FP2LE, FP3LE}) Edit->setFixedWidth(LabelWidth);

    auto* Fields = new QGridLayout();
    int Row = 0;
    const std::pair<const char*, QLineEdit*> Edits[] = {{"P1", FP1LE}, {"P2", FP2LE}, {"P3", FP3LE}};
    for (const auto& [Caption, Edit] : Edits) {
        auto* Label = new QLabel(Caption, this);
        Label->setBuddy(Edit);
        Fields->addWidget(Label, Row, 0);
        Fields->addWidget(Edit, Row, 1);
        ++Row;
    }
    Fields->addWidget(new QLabel("Mu (min):", this), Row, 0);
    Fields->addWidget(FMuL, Row, 1);
    ++Row;
    Fields->addWidget(new QLabel("Sigma (min):", this), Row, 0);
    Fields->addWidget(FSigmaL, Row, 1);
    ++Row;
    FProblemL = new QLabel(this);
    FProblemL->setObjectName("ProblemL");
    FProblemL->setWordWrap(true);
    FProblemL->setFixedWidth(LabelWidth + fontMetrics().horizontalAdvance("Sigma (min):") + 12);
    FProblemL->setStyleSheet("color: #b00020;");
    Fields->addWidget(FProblemL, Row, 0, 1, 2);

    FButton1 = new QPushButton("&Save changes", this);
    FButton2 = new QPushButton("&Cancel", this);
    FButton1->setObjectName("Button1");
    FButton2->setObjectName("Button2");
    FButton1->setDefault(true);
    connect(FButton1, &QPushButton::clicked, this, &QDialog::accept);
    connect(FButton2, &QPushButton::clicked, this, &QDialog::reject);
    auto* Buttons = new QHBoxLayout();
    Buttons->addWidget(FButton1);
    Buttons->addWidget(FButton2);

    auto* Chart = new QChart();
    Chart->legend()->hide();
    Chart->setBackgroundRoundness(0);
    FSeries1 = new QLineSeries();
    FSeries1->setObjectName("Series1");
    FSeries2 = new QScatterSeries();
    FSeries2->setObjectName("Series2");
    Chart->addSeries(FSeries1);
    Chart->addSeries(FSeries2);
    FAxisX = new QValueAxis();
    FAxisY = new QValueAxis();
    Chart->addAxis(FAxisX, Qt::AlignBottom);
    Chart->addAxis(FAxisY, Qt::AlignLeft);
    for (auto* Series : {static_cast<QXYSeries*>(FSeries1), static_cast<QXYSeries*>(FSeries2)}) {
        Series->attachAxis(FAxisX);
        Series->attachAxis(FAxisY);
    }
    SetRoundTicks(FAxisX, AxisTicksX);
    SetRoundTicks(FAxisY, AxisTicksY);
    FChart = new QChartView(Chart, this);
    FChart->setObjectName("Chart");
    FChart->setRenderHint(QPainter::Antialiasing);
    FChart->setMinimumSize(480, 320);
    FChart->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(FChart, &QWidget::customContextMenuRequested, this, &TSurgeryInfoDialog::ShowContextMenu);

    FPopupMenu1 = new QMenu(this);
    FPopupMenu1->setObjectName("PopupMenu1");
    FDensityGraphMI = FPopupMenu1->addAction("&Density graph");
    FCumulativeGraphMI = FPopupMenu1->addAction("&Cumulative density graph");
    FPopupMenu1->addSeparator();
    FRedrawMI = FPopupMenu1->addAction("&Redraw");
    FDensityGraphMI->setObjectName("DensityGraphMI");
    FCumulativeGraphMI->setObjectName("CumulativeGraphMI");
    FRedrawMI->setObjectName("RedrawMI");
    auto* GraphGroup = new QActionGroup(this);
    GraphGroup->setExclusive(true);
    for (QAction* Item : {FDensityGraphMI, FCumulativeGraphMI}) {
        Item->setCheckable(true);
        GraphGroup->addAction(Item);
        connect(Item, &QAction::triggered, this, &TSurgeryInfoDialog::DrawDensity);
    }
    FDensityGraphMI->setChecked(true);
    connect(FRedrawMI, &QAction::triggered, this, &TSurgeryInfoDialog::DrawDensity);

    auto* Left = new QVBoxLayout();
    Left->addLayout(Fields);
    Left->addStretch(1);
    Left->addLayout(Buttons);
    auto* Main = new QHBoxLayout(this);
    Main->addLayout(Left);
    Main->addWidget(FChart, 1);
    setFixedSize(sizeHint());

    // Connected last: setting a text, by typing or from code, recalculates.
    for (QLineEdit* Edit : {FP1LE, FP2LE, FP3LE})
        connect(Edit, &QLineEdit::textChanged, this, &TSurgeryInfoDialog::Recalculate);
}

void TSurgeryInfoDialog::SetInitialValues(double P1, double P2, double P3, double Mu, double Sigma)
{
    FInitialP1 = P1;
    FInitialP2 = P2;
    FInitialP3 = P3;
    FInitialMu = Mu;
    FInitialSigma = Sigma;
}

void TSurgeryInfoDialog::FillFromCaller(double P1, double P2, double P3, double Mu, double Sigma, double ShownMu,
                                        double ShownSigma)
{
    SetParameterTexts(FromModel(FormatGeneral(P1)), FromModel(FormatGeneral(P2)), FromModel(FormatGeneral(P3)));
    Recalculate();
    SetInitialValues(P1, P2, P3, Mu, Sigma);
    SetMuText(FormatMinutes(ShownMu));
    SetSigmaText(FormatMinutes(ShownSigma));
    FMuL->setToolTip(FormatLabel(ShownMu));
    FSigmaL->setToolTip(FormatLabel(ShownSigma));
}

QString TSurgeryInfoDialog::P1Text() const { return FP1LE->text(); }
QString TSurgeryInfoDialog::P2Text() const { return FP2LE->text(); }
QString TSurgeryInfoDialog::P3Text() const { return FP3LE->text(); }
void TSurgeryInfoDialog::SetP1Text(const QString& Text) { FP1LE->setText(Text); }
void TSurgeryInfoDialog::SetP2Text(const QString& Text) { FP2LE->setText(Text); }
void TSurgeryInfoDialog::SetP3Text(const QString& Text) { FP3LE->setText(Text); }

void TSurgeryInfoDialog::SetParameterTexts(const QString& Text1, const QString& Text2, const QString& Text3)
{
    SetP1Text(Text1);
    SetP2Text(Text2);
    SetP3Text(Text3);
}

QString TSurgeryInfoDialog::MuText() const { return FMuL->text(); }
QString TSurgeryInfoDialog::SigmaText() const { return FSigmaL->text(); }
void TSurgeryInfoDialog::SetMuText(const QString& Text) { FMuL->setText(Text); }
void TSurgeryInfoDialog::SetSigmaText(const QString& Text) { FSigmaL->setText(Text); }

bool TSurgeryInfoDialog::ReadParameters()
{
    double Value1 = 0, Value2 = 0, Value3 = 0;
    if (ParseDecimal(FP1LE->text(), Value1) && ParseDecimal(FP2LE->text(), Value2) &&
        ParseDecimal(FP3LE->text(), Value3)) {
        FP1 = Value1;
        FP2 = Value2;
        FP3 = Value3;
        return true;
    }
    FP1 = FInitialP1;
    FP2 = FInitialP2;
    FP3 = FInitialP3;
    FMu = FInitialMu;
    FSigma = FInitialSigma;
    return false;
}

QString TSurgeryInfoDialog::Problem() const
{
    const std::pair<const char*, QLineEdit*> Fields[] = {{"P1", FP1LE}, {"P2", FP2LE}, {"P3", FP3LE}};
    for (const auto& [Name, Edit] : Fields) {
        double Value = 0;
        if (!ParseDecimal(Edit->text(), Value) || !std::isfinite(Value))
            return QString("%1: \"%2\" is not a number.").arg(Name, Edit->text());
    }
    double P2 = 0;
    ParseDecimal(FP2LE->text(), P2);
    if (!(P2 > 0)) return "P2, the standard deviation of ln(duration), must be greater than 0.";
    return "";
}

void TSurgeryInfoDialog::Recalculate()
{
    QString Trouble = Problem();
    if (Trouble.isEmpty() && ReadParameters()) {
        FMu = std::exp(FP1 + FP2 * FP2 / 2) + FP3;
        FSigma = std::sqrt((std::exp(FP2 * FP2) - 1) * std::exp(2 * FP1 + FP2 * FP2));
        if (!std::isfinite(FMu) || !std::isfinite(FSigma)) Trouble = "The mean or the standard deviation overflows.";
    }
    FProblemL->setText(Trouble);
    FButton1->setEnabled(Trouble.isEmpty());
    if (!Trouble.isEmpty()) {
        // Nothing of these numbers can be saved: the dialog gives back the values it was opened with.
        ReadParameters();
        FP1 = FInitialP1, FP2 = FInitialP2, FP3 = FInitialP3, FMu = FInitialMu, FSigma = FInitialSigma;
        FMuL->clear();
        FSigmaL->clear();
        FMuL->setToolTip("");
        FSigmaL->setToolTip("");
        FSeries1->clear();
        FSeries2->clear();
        return;
    }
    FMuL->setText(FormatMinutes(FMu));
    FSigmaL->setText(FormatMinutes(FSigma));
    FMuL->setToolTip(FormatLabel(FMu));
    FSigmaL->setToolTip(FormatLabel(FSigma));
    DrawDensity();
}

void TSurgeryInfoDialog::DrawDensity()
{
    FSeries1->clear();
    FSeries2->clear();
    const bool Cumulative = IsCumulative();
    const double Lo = FP3 >= 0 ? FP3 : 0;
    const double Hi = FP3 + 3 * (FMu - FP3);
    // No valid range (or an overflowing one, or one too narrow for the chart to draw): the curve
    // stays empty, the axes as they were.
    if (!(Hi - Lo > SmallestSpan) || !std::isfinite(Hi)) return;
    const double Step = (Hi - Lo) / CurvePoints;
    SetRangeWithRoundTicks(FAxisX, Lo, Hi, AxisTicksX);

    QList<QPointF> Curve;
    Curve.reserve(CurvePoints);
    double YMin = 0, YMax = 0;
    for (int I = 0; I < CurvePoints; ++I) {
        const double X = Lo + I * Step;
        const double Y = Cumulative ? LognormalCumulative3(X, FP1, FP2, FP3) : LognormalDensity3(X, FP1, FP2, FP3);
        Curve.append(QPointF(X, Y));
        if (std::isfinite(Y)) {
            YMin = std::min(YMin, Y);
            YMax = std::max(YMax, Y);
        }
    }
    FSeries1->replace(Curve);
    // A curve too flat for the chart to span lies on the horizontal axis of 0 .. 1.
    if (!(YMax - YMin > SmallestSpan)) YMax = YMin + 1;
    SetRangeWithRoundTicks(FAxisY, YMin, YMax + 0.05 * (YMax - YMin), AxisTicksY);
}

double TSurgeryInfoDialog::LognormalDensity3(double X, double P1, double P2, double P3)
{
    const double D = X - P3;
    if (Sqrt2Pi * D * P2 == 0) return 0;
    if (P2 * P2 <= 1e-8 || D <= 1e-8) return 0;
    const double LogDistance = std::log(D) - P1;
    return std::exp(-0.5 * LogDistance * LogDistance / (P2 * P2)) / (D * P2 * Sqrt2Pi);
}

double TSurgeryInfoDialog::LognormalCumulative3(double X, double P1, double P2, double P3)
{
    const double H = (X - P3) / CumulativeSteps;
    double Sum = 0;
    for (int I = 0; I < CumulativeSteps; ++I) Sum += H * LognormalDensity3(P3 + I * H, P1, P2, P3);
    return Sum;
}

bool TSurgeryInfoDialog::IsCumulative() const { return FCumulativeGraphMI->isChecked(); }

void TSurgeryInfoDialog::SetCumulative(bool Cumulative)
{
    (Cumulative ? FCumulativeGraphMI : FDensityGraphMI)->setChecked(true);
    DrawDensity();
}

double TSurgeryInfoDialog::AxisMinimum() const { return FAxisX->min(); }
double TSurgeryInfoDialog::AxisMaximum() const { return FAxisX->max(); }

void TSurgeryInfoDialog::showEvent(QShowEvent* Event)
{
    QDialog::showEvent(Event);
    if (FCentred) return;
    FCentred = true;
    if (const QScreen* Screen = screen()) {
        QRect Frame = frameGeometry();
        Frame.moveCenter(Screen->availableGeometry().center());
        move(Frame.topLeft());
    }
}

void TSurgeryInfoDialog::ShowContextMenu(const QPoint& Position)
{
    FPopupMenu1->popup(FChart->viewport()->mapToGlobal(Position));
}

}  // namespace orbench::ui
