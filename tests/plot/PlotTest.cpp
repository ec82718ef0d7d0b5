// "orbench-cli plot": the pictures are read back (SVG as XML, PNG as pixels) and held against the
// case mix's plane and the overlap of the instances.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <thread>

#include <QColor>
#include <QFile>
#include <QImage>
#include <QRectF>
#include <QXmlStreamReader>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>

#include <QRegularExpression>
#include <vector>

#include "Model.h"
#include "TestHelpers.h"

namespace orbench {
namespace {

using testing::ReadAll;
using TLines = std::vector<std::string>;
struct TRun {
    int Code;
    std::string Out, Err;
};
struct TPoint {
    double X, Y;
};

const QColor Gray(128, 128, 128), White(255, 255, 255), Surgery(30, 70, 200), Centre(243, 156, 53);

// One drawn element of an SVG with its group's fill and stroke, at its place in the picture.
struct TElement {
    QString Tag, Fill, Stroke, Text;
    QXmlStreamAttributes Attributes;
    double Dx = 0, Dy = 0;  // the group's translation
    double Number(const char* Name) const { return Attributes.value(Name).toDouble(); }
};

std::vector<TElement> ReadSvg(const std::string& FileName)
{
    QFile File(QString::fromStdString(FileName));
    EXPECT_TRUE(File.open(QIODevice::ReadOnly)) << FileName;
    QXmlStreamReader Reader(&File);
    std::vector<TElement> Groups(1), Elements;
    while (!Reader.atEnd()) {
        const QXmlStreamReader::TokenType Token = Reader.readNext();
        if (Token == QXmlStreamReader::EndElement && Reader.name() == u"g") Groups.pop_back();
        if (Token != QXmlStreamReader::StartElement) continue;
        TElement Element = Groups.back();
        Element.Tag = Reader.name().toString();
        Element.Attributes = Reader.attributes();
        for (const auto& [Name, Field] : {std::pair{"fill", &TElement::Fill}, std::pair{"stroke", &TElement::Stroke}})
            if (Element.Attributes.hasAttribute(Name)) Element.*Field = Element.Attributes.value(Name).toString();
        const QString Transform = Element.Attributes.value("transform").toString();
        if (Transform.startsWith("matrix(")) {
            const QStringList M = Transform.mid(7, Transform.size() - 8).split(',');
            Element.Dx = M.at(4).toDouble(), Element.Dy = M.at(5).toDouble();
        }
        if (Element.Tag == "g") {
            Groups.push_back(Element);
        } else {
            if (Element.Tag == "text") {
                Element.Text = Reader.readElementText();
                // A line of mixed scripts comes in runs, one text element each: joined again.
                if (!Elements.empty() && Elements.back().Tag == "text" &&
                    Elements.back().Number("y") == Element.Number("y")) {
                    Elements.back().Text += Element.Text;
                    continue;
                }
            }
            Elements.push_back(Element);
        }
    }
    EXPECT_FALSE(Reader.hasError()) << Reader.errorString().toStdString();
    return Elements;
}

// The corners of a path made of moves and lines, in the picture.
std::vector<QPointF> PathCorners(const TElement& Path)
{
    std::vector<QPointF> Corners;
    for (QString Piece : Path.Attributes.value("d").toString().split(' ', Qt::SkipEmptyParts)) {
        const QStringList XY = Piece.remove('M').remove('L').split(',');
        Corners.emplace_back(XY.at(0).toDouble() + Path.Dx, XY.at(1).toDouble() + Path.Dy);
    }
    return Corners;
}

bool Inside(const std::vector<QPointF>& Polygon, const QPointF& P)
{
    bool In = false;
    for (std::size_t i = 0, j = Polygon.size() - 1; i < Polygon.size(); j = i++)
        if ((Polygon[i].y() > P.y()) != (Polygon[j].y() > P.y()) &&
            P.x() < (Polygon[j].x() - Polygon[i].x()) * (P.y() - Polygon[i].y()) / (Polygon[j].y() - Polygon[i].y()) +
                        Polygon[i].x())
            In = !In;
    return In;
}

// The unit square in the picture: the gray rectangle under every region that has one.
QRectF UnitSquare(const std::vector<TElement>& Svg)
{
    for (const TElement& E : Svg)
        if (E.Tag == "path" && E.Fill == "#808080") {
            const std::vector<QPointF> Corners = PathCorners(E);
            const auto [Left, Right] = std::minmax_element(
                Corners.begin(), Corners.end(), [](const QPointF& A, const QPointF& B) { return A.x() < B.x(); });
            const auto [Top, Bottom] = std::minmax_element(
                Corners.begin(), Corners.end(), [](const QPointF& A, const QPointF& B) { return A.y() < B.y(); });
            return QRectF(QPointF(Left->x(), Top->y()), QPointF(Right->x(), Bottom->y()));
        }
    return {};
}

TPoint ToPlane(const QRectF& Square, const QPointF& P)
{
    return {(P.x() - Square.left()) / Square.width(), (Square.bottom() - P.y()) / Square.height()};
}

QPointF ToPicture(const QRectF& Square, const TPoint& P)
{
    return {Square.left() + P.X * Square.width(), Square.bottom() - P.Y * Square.height()};
}

std::vector<TPoint> Sorted(std::vector<TPoint> Points)
{
    std::sort(Points.begin(), Points.end(),
              [](const TPoint& A, const TPoint& B) { return A.X != B.X ? A.X < B.X : A.Y < B.Y; });
    return Points;
}

void ExpectSamePoints(const std::vector<TPoint>& Got, const std::vector<TPoint>& Want, const std::string& What)
{
    ASSERT_EQ(Got.size(), Want.size()) << What;
    const std::vector<TPoint> A = Sorted(Got), B = Sorted(Want);
    for (std::size_t i = 0; i < A.size(); ++i)
        EXPECT_TRUE(std::abs(A[i].X - B[i].X) < 3e-3 && std::abs(A[i].Y - B[i].Y) < 3e-3)
            << What << ": (" << A[i].X << ", " << A[i].Y << ") for (" << B[i].X << ", " << B[i].Y << ")";
}

class Plot : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Normal types at (X, Y) = (0.25, 0.25), (0.7, 0.2) and (0.3, 0.8) with 480 minutes a day.
        testing::WriteLines(Work.File("plane.txt"),
                            {"ID\tDistributionType\tP1\tP2\tP3\tFrequency", "1\tNormal\t120\t30\t0\t1",
                             "2\tNormal\t336\t67.2\t0\t1", "3\tNormal\t144\t115.2\t0\t1"});
        // a: types 1, 1, 2; b: type 3; c: as a.
        const std::map<std::string, std::vector<int>> Instances = {
            {"a.txt", {1, 1, 2}}, {"b.txt", {3}}, {"c.txt", {1, 1, 2}}};
        const std::string Parameters[] = {"", "120\t30\t0", "336\t67.2\t0", "144\t115.2\t0"};
        for (const auto& [Name, Types] : Instances) {
            TLines Lines = {"# INSTANCE CHARACTERISTICS",
                            "999999\tInstance number",
                            "plane\tcase mix name",
                            "1\tnumber of OR-days",
                            "0.5\tdesired load",
                            "0.5\tload",
                            "480\tCapacity OR-days in minutes",
                            "",
                            "# SURGERIES",
                            "SurgNr\tP1\tP2\tP3"};
            for (std::size_t k = 0; k < Types.size(); ++k)
                Lines.push_back(std::to_string(k + 1) + "\t" + Parameters[Types[k]]);
            testing::WriteLines(Work.File(Name), Lines);
        }
    }
    TRun Run(const std::string& Args, const std::string& Program = ORBENCH_CLI_PATH) const
    {
        return Shell("'" + Program + "' " + Args);
    }
    // A command line run in the work folder, its output captured.
    TRun Shell(const std::string& Line) const
    {
        const std::string Cmd = "cd '" + Work.Path() + "' && LC_ALL=C " + Line + " >'" + Capture.File("out") + "' 2>'" +
                                Capture.File("err") + "'";
        const int Status = std::system(Cmd.c_str());
        return {WIFEXITED(Status) ? WEXITSTATUS(Status) : -1, ReadAll(Capture.File("out")),
                ReadAll(Capture.File("err"))};
    }
    std::vector<TElement> Svg(const std::string& Args, const std::string& Out)
    {
        const TRun R = Run(Args);
        EXPECT_EQ(R.Code, 0) << Args << ": " << R.Err;
        return ReadSvg(Work.File(Out));
    }
    testing::TTempDir Work, Capture;
};

TEST_F(Plot, PlaneRegionIsWhiteExactlyOverTheCaseMixTypeAndStaysInTheSquare)
{
    QRectF Square;  // from type 0's gray rectangle; every picture has the same frame
    for (int Type = 0; Type < NumCaseMixTypes; ++Type) {
        const std::vector<TElement> Picture = Svg(
            "plot plane --casemix plane.txt --size 800x800 --type " + std::to_string(Type) + " --out t.svg", "t.svg");
        if (Type == 0) Square = UnitSquare(Picture);
        ASSERT_GT(Square.width(), 500);
        std::vector<std::pair<std::vector<QPointF>, QString>> Layers;
        for (const TElement& E : Picture)
            if (E.Tag == "path" && (E.Fill == "#808080" || E.Fill == "#ffffff") && !PathCorners(E).empty()) {
                Layers.emplace_back(PathCorners(E), E.Fill);
                for (const QPointF& P : Layers.back().first)
                    EXPECT_TRUE(Square.adjusted(-0.5, -0.5, 0.5, 0.5).contains(P))
                        << "type " << Type << ": corner " << P.x() << ", " << P.y() << " outside the square";
            }
        // Away from the boundary lines (X + Y and Y - X never 0.6, 1, 1.4, 0 or 0.4 on this grid).
        for (double X = 0.02; X < 1; X += 0.1)
            for (double Y = 0.06; Y < 1; Y += 0.1) {
                QString Colour = "#ffffff";
                for (const auto& [Corners, Fill] : Layers)
                    if (Inside(Corners, ToPicture(Square, {X, Y}))) Colour = Fill;
                EXPECT_EQ(Colour == "#ffffff", IsPointOfCaseMixType(Type, X, Y))
                    << "type " << Type << " at " << X << ", " << Y;
            }
    }
}

// Every point is drawn: the surgery types, or each instance's surgeries and centre of mass, one
// instance in blue and orange, two to eight each in a colour of the colour-blind-safe palette with
// its own marker (its centre larger and outlined), more again in blue and orange; the key names
// what is drawn (the instances by their file names).
TEST_F(Plot, PlanePointsAreTheSurgeryTypesOrTheInstancesSurgeriesAndCentres)
{
    const QColor First(0, 114, 178), Second(230, 159, 0);
    const struct {
        std::string Files, Out;
        std::vector<TPoint> Squares, Circles;  // markers of surgeries (squares) and of centres or b's surgeries
        QColor SquareColour, CircleColour;
        std::vector<QString> KeyTexts;
    } Cases[] = {
        {"",
         "plane_type_0.svg",
         {{0.25, 0.25}, {0.7, 0.2}, {0.3, 0.8}},
         {},
         Surgery,
         Centre,
         {"Region of case-mix type 0", "Surgery types"}},
        {"--out i.svg a.txt",
         "i.svg",
         {{0.25, 0.25}, {0.25, 0.25}, {0.7, 0.2}},
         {{0.4, 0.7 / 3}},
         Surgery,
         Centre,
         {"Region of case-mix type 0", "Surgeries", "Center of mass"}},
        {"--out s.svg a.txt b.txt",
         "s.svg",
         {{0.25, 0.25}, {0.25, 0.25}, {0.7, 0.2}},
         {{0.3, 0.8}, {0.3, 0.8}},
         First,
         Second,
         {"Region of case-mix type 0", "a.txt", "b.txt", "Center of mass (larger, outlined)"}},
        // more instances than the palette tells apart: one colour, the centres orange
        {"--out m.svg a.txt b.txt a.txt b.txt a.txt b.txt a.txt b.txt b.txt",
         "m.svg",
         {{0.25, 0.25},
          {0.25, 0.25},
          {0.7, 0.2},
          {0.25, 0.25},
          {0.25, 0.25},
          {0.7, 0.2},
          {0.25, 0.25},
          {0.25, 0.25},
          {0.7, 0.2},
          {0.25, 0.25},
          {0.25, 0.25},
          {0.7, 0.2},
          {0.3, 0.8},
          {0.3, 0.8},
          {0.3, 0.8},
          {0.3, 0.8},
          {0.3, 0.8}},
         {{0.4, 0.7 / 3},
          {0.4, 0.7 / 3},
          {0.4, 0.7 / 3},
          {0.4, 0.7 / 3},
          {0.3, 0.8},
          {0.3, 0.8},
          {0.3, 0.8},
          {0.3, 0.8},
          {0.3, 0.8}},
         Surgery,
         Centre,
         {"Surgeries of 9 instances", "Centers of mass"}},
    };
    for (const auto& Case : Cases) {
        const std::vector<TElement> Picture =
            Svg("plot plane --size 800x800 --casemix plane.txt " + Case.Files, Case.Out);
        const QRectF Square = UnitSquare(Picture);
        const QRectF Inside = Square.adjusted(-8, -8, 8, 8);  // the key lies below it
        std::vector<TPoint> Squares, Circles;
        std::vector<QString> Texts;
        for (const TElement& E : Picture) {
            if (E.Tag == "text") Texts.push_back(E.Text);
            if (E.Tag == "rect" && E.Fill == Case.SquareColour.name() && E.Stroke != "#000000") {  // not a centre
                const QPointF At(E.Dx + E.Number("x") + E.Number("width") / 2,
                                 E.Dy + E.Number("y") + E.Number("height") / 2);
                if (Inside.contains(At)) Squares.push_back(ToPlane(Square, At));
            }
            if (E.Tag == "circle" && E.Fill == Case.CircleColour.name()) {
                const QPointF At(E.Dx + E.Number("cx"), E.Dy + E.Number("cy"));
                if (Inside.contains(At)) Circles.push_back(ToPlane(Square, At));
            }
        }
        ExpectSamePoints(Squares, Case.Squares, Case.Out + " squares");
        ExpectSamePoints(Circles, Case.Circles, Case.Out + " circles");
        for (const QString& Key : Case.KeyTexts)
            EXPECT_NE(std::find(Texts.begin(), Texts.end(), Key), Texts.end())
                << Case.Out << ": key " << Key.toStdString();
        EXPECT_NE(std::find(Texts.begin(), Texts.end(), QString::fromUtf8("\u03bc/c")), Texts.end()) << Case.Out;
    }
}

// Fonts are in points and scale with the figure; the figure has its physical size.
TEST_F(Plot, FontsScaleWithThePhysicalSize)
{
    std::map<int, std::vector<double>> Sizes;  // width in cm -> font sizes in the SVG
    for (const int Cm : {8, 16}) {
        const std::string Side = std::to_string(Cm) + "cm", Out = "f" + Side + ".svg";
        for (const TElement& E :
             Svg("plot plane --casemix plane.txt --size " + Side + "x" + Side + " --out " + Out + " a.txt", Out))
            if (E.Tag == "text") Sizes[Cm].push_back(E.Attributes.value("font-size").toDouble());
        const std::string Head = ReadAll(Work.File(Out)).substr(0, 600);
        EXPECT_NE(Head.find("width=\"" + std::to_string(Cm * 10) + "mm\""), std::string::npos) << Head;
    }
    ASSERT_EQ(Sizes[8].size(), Sizes[16].size());
    ASSERT_FALSE(Sizes[8].empty());
    for (std::size_t i = 0; i < Sizes[8].size(); ++i) EXPECT_NEAR(Sizes[16][i], 2 * Sizes[8][i], 0.02 * Sizes[16][i]);
    // 8 cm: 8 cm / 2.54 * 72 / 30 = 7.6 points for the ticks
    EXPECT_NEAR(*std::min_element(Sizes[8].begin(), Sizes[8].end()), 7.56, 0.1);
}

// Points beyond the unit square are never dropped: arrows at its edge and one line on stderr, or
// with --fit axes that show them.
TEST_F(Plot, PointsBeyondTheSquareAreShownAndCounted)
{
    testing::WriteLines(Work.File("wide.txt"), {"ID\tDistributionType\tP1\tP2\tP3\tFrequency",
                                                "1\tNormal\t120\t30\t0\t1", "2\tNormal\t600\t60\t0\t1"});  // X = 1.25
    const TRun Arrows = Run("plot plane --casemix wide.txt --size 800x800 --out w.svg");
    EXPECT_EQ(Arrows.Code, 0);
    EXPECT_EQ(Arrows.Err,
              "orbench-cli: plot plane: 1 of 2 points lie outside the unit square; they are drawn as arrows "
              "at its edge (--fit widens the axes)\n");
    int Squares = 0, ArrowHeads = 0;
    for (const TElement& E : ReadSvg(Work.File("w.svg"))) {
        if (E.Tag == "rect" && E.Fill == Surgery.name()) ++Squares;
        if ((E.Tag == "path" || E.Tag == "polygon") && E.Fill == Surgery.name()) ++ArrowHeads;
    }
    EXPECT_EQ(Squares, 1 + 1);  // one point and the key's square
    EXPECT_EQ(ArrowHeads, 1);
    const TRun Fitted = Run("plot plane --casemix wide.txt --size 800x800 --fit --labels words --out f.svg");
    EXPECT_EQ(Fitted.Code, 0);
    EXPECT_NE(Fitted.Err.find("the axes are widened to show them"), std::string::npos) << Fitted.Err;
    std::vector<QString> Texts;
    for (const TElement& E : ReadSvg(Work.File("f.svg")))
        if (E.Tag == "text") Texts.push_back(E.Text);
    for (const QString Text : {"1.4", "mean / capacity", "CV"})
        EXPECT_NE(std::find(Texts.begin(), Texts.end(), Text), Texts.end()) << Text.toStdString();
}

// A PDF of the requested page size with the same text as the SVG of the same figure.
TEST_F(Plot, PdfHasThePageSizeAndTheTextOfTheSvg)
{
    ASSERT_EQ(Run("plot plane --casemix plane.txt --title Clinic --out p.pdf a.txt b.txt").Code, 0);
    ASSERT_EQ(Run("plot plane --casemix plane.txt --title Clinic --out p.svg a.txt b.txt").Code, 0);
    ASSERT_EQ(ReadAll(Work.File("p.pdf")).rfind("%PDF-", 0), 0u);
    const TRun Info = Shell("pdfinfo p.pdf");
    ASSERT_EQ(Info.Code, 0) << "pdfinfo (poppler-utils) is needed: " << Info.Err;
    EXPECT_NE(Info.Out.find("Page size:       241 x 241 pts"), std::string::npos) << Info.Out;  // 8.5 cm
    const TRun Text = Shell("pdftotext p.pdf -");
    std::multiset<std::string> PdfWords, SvgWords;
    for (const QString& Word : QString::fromStdString(Text.Out).split(QRegularExpression("\\s+"), Qt::SkipEmptyParts))
        PdfWords.insert(Word.toStdString());
    for (const TElement& E : ReadSvg(Work.File("p.svg")))
        if (E.Tag == "text")
            for (const QString& Word : E.Text.split(QRegularExpression("\\s+"), Qt::SkipEmptyParts))
                SvgWords.insert(Word.toStdString());
    EXPECT_EQ(PdfWords, SvgWords);
    EXPECT_EQ(SvgWords.count("Clinic"), 1u);
}

// plot stats: the histogram of the loads and the surgeries per case-mix type region.
TEST_F(Plot, StatsShowsTheLoadsAndTheRegions)
{
    ASSERT_EQ(Run("plot stats --casemix plane.txt --out s.svg a.txt b.txt c.txt").Code, 0);
    int LoadBars = 0, RegionBars = 0;
    std::vector<QString> Texts;
    for (const TElement& E : ReadSvg(Work.File("s.svg"))) {
        if (E.Tag == "rect" && E.Fill == QColor(0, 114, 178).name()) ++LoadBars;
        if (E.Tag == "rect" && E.Fill == QColor(0, 158, 115).name()) ++RegionBars;
        if (E.Tag == "text") Texts.push_back(E.Text);
    }
    EXPECT_EQ(LoadBars, 10);
    EXPECT_EQ(RegionBars, 17);
    for (const QString Text : {"load of an instance (count of instances)", "case-mix type region (count of surgeries)"})
        EXPECT_NE(std::find(Texts.begin(), Texts.end(), Text), Texts.end()) << Text.toStdString();
}

TEST_F(Plot, PngHasTheRequestedSizeAndTheRegionsAndPointsColours)
{
    const TRun R = Run("plot plane --casemix plane.txt --type 2 --size 640x480 --out p.png a.txt b.txt");
    ASSERT_EQ(R.Code, 0) << R.Err;
    const QImage Image(QString::fromStdString(Work.File("p.png")));
    ASSERT_EQ(Image.size(), QSize(640, 480));
    // Type 2 is white above and right of the middle: the gray reaches every side of the square.
    // (Solid 3 x 3 blocks of it: the edges of black letters can be the same gray.)
    const auto IsGray = [&Image](int x, int y) {
        for (int k = 0; k < 9; ++k)
            if (Image.pixelColor(x + k % 3, y + k / 3) != ::orbench::Gray) return false;
        return true;
    };
    QRect Gray;
    for (int y = 0; y + 2 < Image.height(); ++y)
        for (int x = 0; x + 2 < Image.width(); ++x)
            if (IsGray(x, y)) Gray |= QRect(x, y, 3, 3);
    const QRectF Square(Gray.left(), Gray.top(), Gray.width(), Gray.height());
    ASSERT_GT(Square.height(), 250);
    const QColor First(0, 114, 178), Second(230, 159, 0);  // the palette: a's, then b's
    const struct {
        TPoint At;
        QColor Colour;
    } Checks[] = {
        {{0.1, 0.9}, ::orbench::Gray}, {{0.9, 0.9}, White},     {{0.7, 0.2}, First},
        {{0.25, 0.25}, First},         {{0.4, 0.7 / 3}, First}, {{0.3, 0.8}, Second},  // centres over the points
    };
    for (const auto& Check : Checks)
        EXPECT_EQ(Image.pixelColor(ToPicture(Square, Check.At).toPoint()), Check.Colour)
            << Check.At.X << ", " << Check.At.Y;
}

TEST_F(Plot, OverlapPictureShadesEachCellAndMarksTheChosenInstances)
{
    // a and c are alike (overlap 1), b like neither: choosing 2 keeps 0 and 1.
    const std::string Files = " --casemix plane.txt --out o.svg a.txt b.txt c.txt";
    std::map<QString, int> Texts, Fills;
    for (const TElement& E : Svg("--decimal-separator , plot overlap --select 2" + Files, "o.svg")) {
        if (E.Tag == "text") ++Texts[E.Text];
        if (E.Tag == "rect") ++Fills[E.Fill];
    }
    EXPECT_EQ(Texts["1,000"], 2);
    EXPECT_EQ(Texts["0,000"], 7);
    EXPECT_EQ(Texts["0 \u2713"] + Texts["1 \u2713"] + Texts["2"], 6);
    EXPECT_EQ(Fills["#1f5ac8"], 2);      // the strongest shade, for the two ones
    EXPECT_EQ(Fills["#ffffff"], 1 + 7);  // the ground and the zeros

    const TRun Refused = Run("plot overlap --select 3" + Files);
    EXPECT_EQ(Refused.Code, 3);
    EXPECT_EQ(Refused.Err, "Cannot select 3 of 3 instances\n");
    int Marks = 0;
    for (const TElement& E : ReadSvg(Work.File("o.svg"))) Marks += E.Text.contains(u'\u2713');
    EXPECT_EQ(Marks, 0);
}

TEST_F(Plot, RefusesBadInputWritingNothingAndNamesWhatCannotBeWritten)
{
    const struct {
        std::string Args;
        int Code;
        std::string Message;
    } Cases[] = {
        {"plot plane --casemix plane.txt --size 50x800", 1, "--size 50x800: must be WxH: pixels (100 to 10000 each)"},
        {"plot plane --casemix plane.txt --size 8.5kmx1cm", 1, "--size 8.5kmx1cm: must be WxH"},
        {"plot plane --casemix plane.txt --dpi 10", 1, "--dpi 10: must be from 36 to 2400"},
        {"plot plane --casemix plane.txt --labels greek", 1, "--labels greek: must be symbols or words"},
        {"plot overlap --casemix plane.txt --fit --out o.svg a.txt", 1, "plot overlap: --fit belongs to plot plane"},
        {"plot stats --casemix plane.txt --out s.svg", 1, "plot stats needs at least one INSTANCE_FILE"},
        {"plot plane --casemix plane.txt --out p.jpg", 1, "--out p.jpg: must end in .svg, .png or .pdf"},
        {"plot plane --casemix plane.txt --out ''", 1, "--out: the path is empty"},
        {"plot plane --casemix plane.txt --select 2", 1, "plot plane: --select belongs to plot overlap"},
        {"plot plane --casemix plane.txt --type 17", 1, "--type 17: must be from 0 to 16"},
        {"plot overlap --casemix plane.txt a.txt", 1, "plot overlap needs --out"},
        {"plot circle --casemix plane.txt", 1, "plot: unknown picture kind circle (plane, overlap or stats)"},
        {"plot plane --casemix none.txt", 1, "none.txt: File does not exist!"},
        {"plot plane --casemix plane.txt --out no/p.svg", 2, "no/p.svg: "},
    };
    for (const auto& Case : Cases) {
        const TRun R = Run(Case.Args);
        EXPECT_EQ(R.Code, Case.Code) << Case.Args;
        EXPECT_EQ(R.Err.rfind("orbench-cli: " + Case.Message, 0), 0u) << Case.Args << ": " << R.Err;
    }
    for (const auto& Entry : std::filesystem::directory_iterator(Work.Path()))
        EXPECT_EQ(Entry.path().extension(), ".txt") << Entry.path();
    // Without orbench-plot beside it, orbench-cli says so.
    std::filesystem::copy_file(ORBENCH_CLI_PATH, Work.File("orbench-cli"));
    std::filesystem::permissions(Work.File("orbench-cli"), std::filesystem::perms::owner_all);
    const TRun Alone = Run("plot plane --casemix plane.txt", Work.File("orbench-cli"));
    EXPECT_EQ(Alone.Code, 2);
    EXPECT_NE(Alone.Err.find("orbench-plot: File does not exist!"), std::string::npos) << Alone.Err;
}

// --out keeps the rules of every other output: only a regular file (or nothing) is replaced, and
// what stands there otherwise (a link, a link to nothing or to a device, a fifo, a device) is left
// as it is, with exit code 2 naming it.
TEST_F(Plot, OutputIsWrittenOnlyOverARegularFileOrNothing)
{
    namespace fs = std::filesystem;
    testing::WriteLines(Work.File("target.svg"), {"keep"});
    fs::create_symlink(Work.File("target.svg"), Work.File("link.svg"));
    fs::create_symlink(Work.File("nowhere/x.svg"), Work.File("dangling.svg"));
    fs::create_symlink("/dev/null", Work.File("null.svg"));
    ASSERT_EQ(mkfifo(Work.File("fifo.svg").c_str(), 0600), 0);
    const bool Root = geteuid() == 0;
    if (Root) {
        ASSERT_EQ(mknod(Work.File("device.svg").c_str(), S_IFCHR | 0600, makedev(1, 3)), 0);
    }
    const std::pair<const char*, const char*> Cases[] = {
        {"link.svg", "a symbolic link"}, {"dangling.svg", "a symbolic link"},  {"null.svg", "a symbolic link"},
        {"fifo.svg", "a fifo"},          {"device.svg", "a character device"},
    };
    for (const auto& [Name, Kind] : Cases) {
        if (!Root && std::string(Name) == "device.svg") continue;
        const TRun R = Run(std::string("plot plane --casemix plane.txt a.txt --out ") + Name);
        EXPECT_EQ(R.Code, 2) << Name;
        EXPECT_EQ(R.Err, "orbench-cli: " + std::string(Name) + ": not a regular file (" + Kind + ")\n");
    }
    EXPECT_EQ(ReadAll(Work.File("target.svg")), "keep\r\n");
    EXPECT_FALSE(fs::exists(Work.File("nowhere")));
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
    for (const auto& Entry : fs::directory_iterator(Work.Path()))
        EXPECT_EQ(Entry.path().string().find(".part~"), std::string::npos) << Entry.path();
}

// A SIGINT or SIGTERM sent to orbench-cli alone (not to its process group) reaches orbench-plot:
// the picture is stopped with exit code 130 and no file.
TEST_F(Plot, SignalToTheCommandLineStopsThePicture)
{
    namespace fs = std::filesystem;
    // 300 instances of 40 OR-days of 40 surgery types: the solver engine's matching LPs take far
    // longer than the test waits.
    TLines CaseMix = {"ID\tDistributionType\tP1\tP2\tP3\tFrequency"};
    for (int t = 0; t < 40; ++t)
        CaseMix.push_back(std::to_string(t + 1) + "\tNormal\t" + std::to_string(60 + 6 * t) + "\t" +
                          std::to_string(6 + t % 7) + "\t0\t1");
    testing::WriteLines(Work.File("many.txt"), CaseMix);
    ASSERT_EQ(Run("generate --casemix many.txt --ordays 40 --loads 1 --per-load 300 --out g").Code, 0);
    std::vector<std::string> Files;
    for (const auto& Entry : fs::directory_iterator(Work.File("g"))) Files.push_back(Entry.path().string());
    for (const int Signal : {SIGINT, SIGTERM}) {
        std::vector<std::string> Line = {"orbench-cli", "plot",   "overlap", "--casemix", "many.txt",
                                         "--engine",    "solver", "--out",   "o.svg"};
        Line.insert(Line.end(), Files.begin(), Files.end());
        std::vector<char*> Argv;
        for (std::string& Piece : Line) Argv.push_back(Piece.data());
        Argv.push_back(nullptr);
        const pid_t Child = fork();
        ASSERT_GE(Child, 0);
        if (Child == 0) {
            setpgid(0, 0);  // a group of its own: only the signal below reaches it
            if (chdir(Work.Path().c_str()) != 0 || !std::freopen(Capture.File("err").c_str(), "w", stderr)) _exit(127);
            execv(ORBENCH_CLI_PATH, Argv.data());
            _exit(127);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(700));
        const auto Sent = std::chrono::steady_clock::now();
        kill(Child, Signal);
        int Status = 0;
        ASSERT_EQ(waitpid(Child, &Status, 0), Child);
        const double Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - Sent).count();
        ASSERT_TRUE(WIFEXITED(Status)) << Signal;
        EXPECT_EQ(WEXITSTATUS(Status), 130) << Signal << ": " << ReadAll(Capture.File("err"));
        EXPECT_EQ(ReadAll(Capture.File("err")), "orbench-cli: stopped by Ctrl-C\n");
        EXPECT_LT(Seconds, 5) << "a sanity bound; the promise of a second lies in the benchmark";
        EXPECT_FALSE(fs::exists(Work.File("o.svg")));
    }
}

}  // namespace
}  // namespace orbench
