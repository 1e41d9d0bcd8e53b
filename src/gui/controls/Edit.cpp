#include "gui/controls/Edit.h"

#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextDocument>

#include <optional>

#include "gui/ControlTemplate.h"
#include "gui/controls/SkinDrawing.h"

using namespace qz::platform;
using namespace qz::gui;

struct CQZ_Edit::Skin {
    // Whether the viewport filled its background before the template.
    std::optional<bool> viewportFills;
    bool scrollWatched = false;
};

CQZ_Edit::CQZ_Edit() : skin_(std::make_unique<Skin>()) {}

CQZ_Edit::~CQZ_Edit() = default;

void CQZ_Edit::ApplyTemplate(const CQZControlTemplate* controlTemplate)
{
    StoreTemplate(controlTemplate);
    ApplyToWidget();
    UpdateSkin();
}

void CQZ_Edit::OnAttached()
{
    if (QWidget* target = GetPaintTarget(); target && target != GetWidget())
        skin_->viewportFills = target->autoFillBackground();
    ApplyToWidget();
}

void CQZ_Edit::OnDpiChanged()
{
    ApplyToWidget();
}

QWidget* CQZ_Edit::GetPaintTarget() const
{
    QWidget* widget = GetWidget();
    if (auto* multiLine = qobject_cast<QPlainTextEdit*>(widget))
        return multiLine->viewport();
    return widget;
}

bool CQZ_Edit::HasBackgroundImage() const
{
    return TemplateImage(Template(), L"backgroundEditDib", GetDpi()) != nullptr;
}

void CQZ_Edit::ApplyToWidget()
{
    QWidget* widget = GetWidget();
    if (!widget)
        return;
    const CQZControlTemplate* t = Template();
    const int dpi = GetDpi();

    const LOGFONTW* logFont = t ? t->FindFont(L"font") : nullptr;
    // Empty fonts and palettes inherit the dialog's.
    widget->setFont(logFont ? FontFromLogFont(*logFont, dpi) : QFont());

    QPalette palette;
    if (const QzColorRef* color = t ? t->FindColor(L"dialogColor") : nullptr) {
        palette.setColor(QPalette::Base, ColorFromRef(*color));
        palette.setColor(QPalette::Window, ColorFromRef(*color));
    }
    const bool image = HasBackgroundImage();
    // The image is painted under the text; the widget must not cover it.
    if (image)
        palette.setBrush(QPalette::Base, Qt::transparent);
    widget->setPalette(palette);

    const int border = t ? ScaleForDpi(t->GetInt(L"border"), dpi) : 0;
    if (auto* line = qobject_cast<QLineEdit*>(widget)) {
        line->setTextMargins(border, border, border, border);
    } else if (auto* multiLine = qobject_cast<QPlainTextEdit*>(widget)) {
        multiLine->document()->setDocumentMargin(std::max(border, 4));
        multiLine->viewport()->setAutoFillBackground(image ? false : skin_->viewportFills.value_or(true));
        if (image && !skin_->scrollWatched) {
            // Scrolling moves the painted pixels; the background must not move with them.
            skin_->scrollWatched = true;
            QWidget* viewport = multiLine->viewport();
            for (QScrollBar* bar : {multiLine->verticalScrollBar(), multiLine->horizontalScrollBar()})
                QObject::connect(bar, &QScrollBar::valueChanged, viewport,
                                 [viewport] { viewport->update(); });
        }
    }
}

bool CQZ_Edit::PaintSkin(QWidget* target, QPainter& painter)
{
    const CQZControlTemplate* t = Template();
    if (!t)
        return false;
    const int dpi = GetDpi();
    if (auto image = TemplateImage(t, L"backgroundEditDib", dpi)) {
        QMargins borders;
        if (const RECT* margins = t->FindRect(L"frameMargins"))
            borders = ScaleMargins(*margins, dpi);
        // The viewport of a multi-line edit shows the image as the whole
        // control would.
        QRect area = target->rect();
        if (target != GetWidget())
            area = QRect(target->mapFrom(GetWidget(), QPoint(0, 0)), GetWidget()->size());
        DrawSkinImage(painter, *image, area, borders);
    }
    return false; // the text goes on top
}
