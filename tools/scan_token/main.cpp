// Draws the picture of the QR-scan dialog: a hand holding a phone that shows a QR code, on a
// light blue background. Only shapes are drawn, no text, so no font database (and thus no
// QGuiApplication or platform plug-in) is needed and the output is the same on every machine.

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QString>
#include <QTransform>
#include <QVector>
#include <cstdio>

namespace {

constexpr int ImageWidth = 453;
constexpr int ImageHeight = 350;
constexpr int QrModules = 25; // a version 2 symbol: the smallest one with an alignment pattern

const QColor Background(0xcf, 0xe8, 0xf7);
const QColor BackgroundShade(0xb3, 0xd9, 0xf0);
const QColor Skin(0xf1, 0xc2, 0x9b);
const QColor SkinShade(0xd8, 0x9b, 0x70);
const QColor Sleeve(0x3d, 0x5a, 0x80);
const QColor PhoneBody(0x2b, 0x2f, 0x3a);
const QColor PhoneEdge(0x15, 0x17, 0x1d);
const QColor Screen(0xff, 0xff, 0xff);
const QColor Ink(0x1a, 0x1a, 0x1a);

// A fixed pseudo-random sequence, so that every run draws the same "data" modules.
class Lcg
{
public:
    explicit Lcg(quint32 seed) : m_state(seed) {}
    bool nextBit()
    {
        m_state = m_state * 1664525u + 1013904223u;
        return (m_state >> 16) & 1u;
    }

private:
    quint32 m_state;
};

using Grid = QVector<QVector<int>>; // -1: not yet decided, 0: light, 1: dark

void placeFinder(Grid &grid, int top, int left)
{
    // The 7x7 finder plus its one-module light separator where it fits inside the symbol.
    for (int r = -1; r <= 7; ++r) {
        for (int c = -1; c <= 7; ++c) {
            const int row = top + r;
            const int col = left + c;
            if (row < 0 || col < 0 || row >= QrModules || col >= QrModules)
                continue;
            const bool ring = r == 0 || r == 6 || c == 0 || c == 6;
            const bool core = r >= 2 && r <= 4 && c >= 2 && c <= 4;
            const bool inside = r >= 0 && r <= 6 && c >= 0 && c <= 6;
            grid[row][col] = inside && (ring || core) ? 1 : 0;
        }
    }
}

Grid makeQrGrid()
{
    Grid grid(QrModules, QVector<int>(QrModules, -1));
    placeFinder(grid, 0, 0);
    placeFinder(grid, 0, QrModules - 7);
    placeFinder(grid, QrModules - 7, 0);

    // Timing patterns between the finders.
    for (int i = 8; i < QrModules - 8; ++i) {
        grid[6][i] = i % 2 == 0 ? 1 : 0;
        grid[i][6] = i % 2 == 0 ? 1 : 0;
    }

    // Alignment pattern centred on (18, 18).
    for (int r = -2; r <= 2; ++r) {
        for (int c = -2; c <= 2; ++c) {
            const bool ring = qAbs(r) == 2 || qAbs(c) == 2;
            grid[18 + r][18 + c] = ring || (r == 0 && c == 0) ? 1 : 0;
        }
    }

    // The dark module that every symbol has next to the lower-left finder.
    grid[QrModules - 8][8] = 1;

    Lcg random(0x5ca11ed);
    for (int row = 0; row < QrModules; ++row) {
        for (int col = 0; col < QrModules; ++col) {
            if (grid[row][col] < 0)
                grid[row][col] = random.nextBit() ? 1 : 0;
        }
    }
    return grid;
}

void drawBackground(QPainter &painter)
{
    painter.fillRect(QRect(0, 0, ImageWidth, ImageHeight), Background);
    // Two soft circles so that the background is not a flat fill.
    painter.setPen(Qt::NoPen);
    painter.setBrush(BackgroundShade);
    painter.drawEllipse(QPointF(60, 60), 95, 95);
    painter.drawEllipse(QPointF(405, 300), 120, 120);
}

QPainterPath capsule(const QPointF &from, const QPointF &to, qreal width)
{
    QPainterPath path;
    path.moveTo(from);
    path.lineTo(to);
    QPainterPathStroker stroker;
    stroker.setWidth(width);
    stroker.setCapStyle(Qt::RoundCap);
    stroker.setJoinStyle(Qt::RoundJoin);
    return stroker.createStroke(path).simplified();
}

void drawSkin(QPainter &painter, const QPainterPath &shape)
{
    painter.setPen(QPen(SkinShade, 2.0));
    painter.setBrush(Skin);
    painter.drawPath(shape);
}

// Everything below is drawn in the phone's own frame: origin at the phone's centre, y down.
void drawHandBehind(QPainter &painter)
{
    QPainterPath palm;
    palm.addEllipse(QRectF(-78, 60, 178, 150));
    palm = palm.united(QPainterPath([] {
        QPainterPath wrist;
        wrist.addRect(QRectF(-52, 150, 128, 30));
        return wrist;
    }()));
    // Fingers wrapped round the back of the phone, their bases showing at the right edge.
    for (int i = 0; i < 4; ++i) {
        const qreal y = -30 + i * 38;
        palm = palm.united(capsule(QPointF(40, y + 70), QPointF(78, y), 30));
    }
    drawSkin(painter, palm.simplified());

    // The cuff of the sleeve the hand comes out of, at the bottom of the picture.
    painter.setPen(QPen(Sleeve.darker(130), 2.0));
    painter.setBrush(Sleeve);
    painter.drawRoundedRect(QRectF(-74, 172, 180, 140), 14, 14);
}

void drawPhone(QPainter &painter, const Grid &grid)
{
    const QRectF body(-68, -128, 136, 256);
    painter.setPen(QPen(PhoneEdge, 3.0));
    painter.setBrush(PhoneBody);
    painter.drawRoundedRect(body, 20, 20);

    const QRectF screen(-58, -106, 116, 208);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Screen);
    painter.drawRoundedRect(screen, 6, 6);

    // Earpiece and camera.
    painter.setBrush(PhoneEdge);
    painter.drawRoundedRect(QRectF(-16, -119, 32, 5), 2.5, 2.5);
    painter.drawEllipse(QPointF(26, -116.5), 3.5, 3.5);
    // Home indicator.
    painter.setBrush(QColor(0x55, 0x5b, 0x6a));
    painter.drawRoundedRect(QRectF(-22, 111, 44, 5), 2.5, 2.5);

    // A strip at the top of the screen in place of the app's header.
    painter.setBrush(QColor(0x2e, 0x86, 0xde));
    painter.drawRect(QRectF(screen.left(), screen.top() + 6, screen.width(), 22));

    const qreal module = 4.0;
    const qreal side = module * QrModules;
    const QPointF origin(-side / 2, -side / 2 + 8);
    painter.setBrush(Ink);
    for (int row = 0; row < QrModules; ++row) {
        for (int col = 0; col < QrModules; ++col) {
            if (grid[row][col] == 1)
                painter.drawRect(
                    QRectF(origin.x() + col * module, origin.y() + row * module, module, module));
        }
    }

    // A button under the code.
    painter.setBrush(QColor(0x2e, 0x86, 0xde));
    painter.drawRoundedRect(QRectF(-40, 80, 80, 14), 7, 7);
}

void drawHandInFront(QPainter &painter)
{
    // The thumb lies over the left edge of the phone, clear of the code.
    drawSkin(painter, capsule(QPointF(-78, 150), QPointF(-58, 82), 34));
    // Finger tips curling over the right edge.
    for (int i = 0; i < 4; ++i) {
        const qreal y = -30 + i * 38;
        drawSkin(painter, capsule(QPointF(84, y + 4), QPointF(62, y + 10), 24));
        // A nail, so that the tips read as fingers.
        painter.setPen(Qt::NoPen);
        painter.setBrush(Skin.lighter(112));
        painter.drawEllipse(QPointF(60, y + 10), 6, 5);
    }
}

QImage drawScanToken()
{
    QImage image(ImageWidth, ImageHeight, QImage::Format_ARGB32);
    image.fill(Qt::transparent);

    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, true);
    drawBackground(painter);

    QTransform frame;
    frame.translate(ImageWidth / 2.0 + 6, ImageHeight / 2.0 - 10);
    frame.rotate(-11);
    painter.setTransform(frame);

    const Grid grid = makeQrGrid();
    drawHandBehind(painter);
    drawPhone(painter, grid);
    drawHandInFront(painter);
    painter.end();
    return image;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "Usage: %s OUTPUT.png\n", argv[0]);
        return 2;
    }
    const QString output = QString::fromLocal8Bit(argv[1]);
    // ARGB32 makes the PNG writer store an RGBA image with 8 bits per channel.
    if (!drawScanToken().save(output, "PNG")) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[1]);
        return 1;
    }
    return 0;
}
