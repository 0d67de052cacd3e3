// The previews of TForm1, both drawn by Qt's own rich-text view of the
// page's markup (it knows FONT, B, I, U and STRIKE); the page itself is
// never changed for them:
//   - the preview pane under the pages, shown by "Show a preview of the
//     last page", holds the page of the last successful conversion;
//   - the sample on the "Colors" page is a short piece of Pascal converted
//     with the scheme being edited, again after every change.
#include <QGuiApplication>
#include <QScreen>
#include <QTextBrowser>

#include "Clipboard.h"
#include "MainForm.h"
#include "ui_MainForm.h"

namespace {

// Every kind of element once (the directive and the asm body as such in
// the modern dialect), in lines of twelve characters at most: the page's
// side shows no more at the window's design width without a scroll bar.
constexpr const char *Sample = "{ Sample }\r\n"
                               "program Go;\r\n"
                               "{$IFDEF X}\r\n"
                               "  Log;\r\n"
                               "{$ENDIF}\r\n"
                               "begin\r\n"
                               "  S := 'Hi';\r\n"
                               "  N := N*42;\r\n"
                               "  asm\r\n"
                               "    nop\r\n"
                               "  end;\r\n"
                               "end.\r\n";

// Larger pages take the view seconds to lay out, on every show.
constexpr qsizetype PreviewLimit = 2 << 20;

// The page's text and background colours are attributes of its BODY, which
// the view does not read: they become the view's own colours. System
// colours stay the view's.
void ShowPage(QTextBrowser *View, const QByteArray &Page, TColor Text, TColor Background) {
  QPalette Colors = View->palette();
  auto Apply = [&](QPalette::ColorRole Role, TColor Color) {
    if ((static_cast<uint32_t>(Color) & 0xFF000000u) == 0)
      Colors.setColor(Role, QColor(Color & 0xFF, (Color >> 8) & 0xFF, (Color >> 16) & 0xFF));
  };
  Apply(QPalette::Text, Text);
  Apply(QPalette::Base, Background);
  View->setPalette(Colors);
  View->setHtml(PageText(std::string_view(Page.constData(), static_cast<size_t>(Page.size()))));
}

} // namespace

void TForm1::ConnectPreviews() {
  FUi->PreviewSplitter->setStretchFactor(0, 1);
  connect(FUi->ShowPreview, &QCheckBox::toggled, this, &TForm1::ShowPreviewClick);
  // Only the user's click makes room; a restored state comes with its size.
  connect(FUi->ShowPreview, &QCheckBox::clicked, this, &TForm1::MakeRoomForPreview);
  FSampleConverter = std::make_unique<TTessaline>();
  FSampleConverter->SetPlain(Sample);
  // Nothing defined: in the modern dialect the sample's {$IFDEF} branch
  // shows what inactive code looks like.
  TConditionOptions Conditions;
  Conditions.Enabled = true;
  FSampleConverter->SetConditions(Conditions);
}

void TForm1::ShowPreviewClick() {
  FUi->Preview->setVisible(FUi->ShowPreview->isChecked());
  UpdatePreview();
}

void TForm1::MakeRoomForPreview(bool Shown) {
  if (isMaximized() || isFullScreen() || !isVisible())
    return;
  constexpr int PaneHeight = 200;
  QRect Area = geometry();
  if (Shown) {
    Area.setHeight(Area.height() + PaneHeight);
    if (const QScreen *Screen = QGuiApplication::primaryScreen())
      Area.setHeight(std::min(Area.height(), Screen->availableGeometry().bottom() - Area.top()));
  } else {
    Area.setHeight(Area.height() - std::min(PaneHeight, FUi->Preview->height()));
  }
  resize(Area.size());
}

void TForm1::KeepForPreview() {
  const std::string Page = FConverter->HTML();
  FLastPage = Page.size() <= PreviewLimit ? QByteArray(Page.data(), qsizetype(Page.size()))
                                         : QByteArray();
  FLastPageSize = Page.size();
  FLastPageText = FConverter->ElementColor(heIdentifier);
  FLastPageBackground = FConverter->ElementColor(heWhitespace);
  UpdatePreview();
}

void TForm1::UpdatePreview() {
  if (!FUi->ShowPreview->isChecked())
    return;
  if (FLastPageSize == 0)
    FUi->Preview->setPlainText("The page of the next conversion is shown here.");
  else if (FLastPage.isEmpty())
    FUi->Preview->setPlainText(
        QStringLiteral("The page (%1 MB) is too large to be shown here; \"View result\" opens it.")
            .arg(double(FLastPageSize) / (1 << 20), 0, 'f', 1));
  else
    ShowPage(FUi->Preview, FLastPage, FLastPageText, FLastPageBackground);
}

void TForm1::UpdateColorSample() {
  if (!FSampleConverter || !FConverter)
    return;
  for (int E = 0; E < ElementCount; ++E) {
    const auto Element = static_cast<THighlightElement>(E);
    FSampleConverter->SetElementColor(Element, FConverter->ElementColor(Element));
    FSampleConverter->SetElementDefault(Element, FConverter->ElementDefault(Element));
    FSampleConverter->SetElementStyle(Element, FConverter->ElementStyle(Element));
  }
  FSampleConverter->SetDialect(FConverter->Dialect());
  FSampleConverter->Convert();
  const std::string Page = FSampleConverter->HTML();
  ShowPage(FUi->ColorSample, QByteArray(Page.data(), qsizetype(Page.size())),
           FConverter->ElementColor(heIdentifier), FConverter->ElementColor(heWhitespace));
}
