// The designer's multiple selection: the objects a band holds, moving them as one, copying
// them once or into every label cell of the sheet, deleting them, and ending the selection.
#include <optional>

#include "designerobjects.h"
#include "forms.h"

namespace designer {

namespace {
// The union of rectangles, from the first one taken.
struct Union {
  std::optional<ControlBox> box;
  void Add(const ControlBox& c) {
    if (!box) {
      box = ControlBox{};
      box->left = c.left;
      box->top = c.top;
      box->width = c.width;
      box->height = c.height;
      return;
    }
    const double right = std::max(box->left + box->width, c.left + c.width);
    const double bottom = std::max(box->top + box->height, c.top + c.height);
    box->left = std::min(box->left, c.left);
    box->top = std::min(box->top, c.top);
    box->width = right - box->left;
    box->height = bottom - box->top;
  }
};
}  // namespace

void DesignerObjects::ShowSelectionState() {
  for (auto& [slot, c] : picturesShown_)
    if (IsLivePicture(slot)) c.enabled = false;
  for (auto& [slot, c] : texts_)
    if (IsLiveText(slot)) {
      c.enabled = false;
      c.visible = false;
    }
}

void DesignerObjects::FrameSelection() {
  Union u;
  for (const auto& [slot, c] : picturesShown_)
    if (IsLivePicture(slot) && c.tag == kTagSelected) u.Add(c);
  for (const auto& [slot, c] : texts_)
    if (IsLiveText(slot) && c.tag == kTagSelected) u.Add(c);
  if (!u.box) return;
  frame_.left = u.box->left;
  frame_.top = u.box->top;
  frame_.width = u.box->width;
  frame_.height = u.box->height;
}

void DesignerObjects::SelectMultipleObjects(double left, double top, double right, double bottom) {
  const Batch batch(*this);
  bool any = false;
  auto take = [&](auto& controls, bool live(const DesignerObjects&, int)) {
    for (auto& [slot, c] : controls) {
      if (!live(*this, slot)) continue;
      if (!reports::RectInRect(static_cast<float>(c.left), static_cast<float>(c.top), static_cast<float>(c.width),
                               static_cast<float>(c.height), static_cast<float>(left), static_cast<float>(top),
                               static_cast<float>(right), static_cast<float>(bottom)))
        continue;
      c.tag = kTagSelected;
      any = true;
    }
  };
  take(picturesShown_, [](const DesignerObjects& o, int slot) { return o.IsLivePicture(slot); });
  take(texts_, [](const DesignerObjects& o, int slot) { return o.IsLiveText(slot); });
  if (!any) return;
  frame_.visible = false;
  // The frame lies on the union of the selected objects, from the first one (objects may lie
  // at negative coordinates).
  FrameSelection();
  current_ = -1;
  frame_.tag = kTagSelected;
  menus_.dup = menus_.dupPage = true;
  frame_.visible = true;
  ShowSelectionState();
  Changed();
}

void DesignerObjects::MoveMultipleObjects(double x, double y) {
  if (!MultipleSelection()) return;
  const Batch batch(*this);
  const double dx = x - (frame_.left + gesture_.moveGrabX);
  const double dy = y - (frame_.top + gesture_.moveGrabY);
  const double z = Zoom();
  for (auto& [slot, c] : picturesShown_) {
    if (!IsLivePicture(slot) || c.tag != kTagSelected) continue;
    c.left += dx;
    c.top += dy;
    designer_.CustomPictures[slot].Left = c.left / z;
    designer_.CustomPictures[slot].Top = c.top / z;
    c.visible = true;
  }
  for (auto& [slot, c] : texts_) {
    if (!IsLiveText(slot) || c.tag != kTagSelected) continue;
    c.left += dx;
    c.top += dy;
    designer_.CustomTexts[slot].Left = c.left / z;
    designer_.CustomTexts[slot].Top = c.top / z;
    c.visible = true;
  }
  frame_.left += dx;
  frame_.top += dy;
  frame_.visible = true;
  Repaint();
  Changed();
}

void DesignerObjects::DeselectMultipleSelection() {
  const Batch batch(*this);
  const double z = Zoom();
  for (auto& [slot, c] : picturesShown_) {
    if (!IsLivePicture(slot)) continue;
    c.tag = kTagPicture;
    c.enabled = true;
    designer_.CustomPictures[slot].Left = c.left / z;
    designer_.CustomPictures[slot].Top = c.top / z;
  }
  for (auto& [slot, c] : texts_) {
    if (!IsLiveText(slot)) continue;
    c.visible = true;
    c.enabled = true;
    c.tag.clear();
    designer_.CustomTexts[slot].Left = c.left / z;
    designer_.CustomTexts[slot].Top = c.top / z;
  }
  gesture_.moveGrabX = gesture_.moveGrabY = gesture_.moveLastX = gesture_.moveLastY = -1.0;
  menus_.dup = menus_.dupPage = false;
  Changed();
}

bool DesignerObjects::IsSelectionInsideLabel(SHORT& column, SHORT& row, SHORT& columns, SHORT& rows) {
  const reports::LabelStock g = reports::GetLabelStockOffsets(job_.ReportType, job_.TemplateKind);
  columns = g.columns;
  rows = g.rows;
  const double z = Zoom();
  const double k = z / 16;
  for (column = 1; column <= columns; ++column) {
    for (row = 1; row <= rows; ++row) {
      const double left = ((column - 1) * g.colPitch + g.left) * z - k;
      const double top = ((row - 1) * g.rowPitch + g.top) * z - k;
      const double right = ((column - 1) * g.colPitch + g.left + g.cellWidth) * z + k;
      const double bottom = ((row - 1) * g.rowPitch + g.top + g.cellHeight) * z + k;
      if (reports::RectInRect(static_cast<float>(frame_.left), static_cast<float>(frame_.top),
                              static_cast<float>(frame_.width), static_cast<float>(frame_.height),
                              static_cast<float>(left), static_cast<float>(top), static_cast<float>(right),
                              static_cast<float>(bottom)))
        return true;
    }
  }
  forms::MsgBox(QStringLiteral("Selection is out of label boundries.  All objects must fit within the label margins."),
                forms::vbInformation + forms::vbOKOnly);
  return false;
}

int DesignerObjects::CopyText(int slot, double dx, double dy, const QString& tag) {
  const int n = WiseInsertText();
  TextControl& c = texts_[n];
  c.tag = tag;
  CopyTextAttributes(slot, n, dx, dy);
  c.visible = false;
  SetTextLabelFromArray(n);
  c.visible = true;
  menus_.save = true;
  return n;
}

int DesignerObjects::CopyPicture(int slot, double dx, double dy, const QString& tag) {
  std::optional<PictureStore::Entry> image;
  if (const PictureStore::Entry* e = pictures_.Find(slot)) image = *e;
  const app::CustomPictureRecord source = designer_.CustomPictures[slot];
  const int n = WiseInsertPicture();
  if (image) pictures_.Put(n, std::move(image->image), std::move(image->bytes));
  app::CustomPictureRecord& r = designer_.CustomPictures[n];
  r.Left = source.Left + dx;
  r.Top = source.Top + dy;
  r.Name = source.Name;
  picturesShown_[n].tag = tag;
  PositionInsertedItem(ObjectKind::Picture, n, false);
  menus_.save = true;
  return n;
}

void DesignerObjects::DuplicateSelection(double dx, double dy) {
  const Batch batch(*this);
  const double z = Zoom();
  if (MultipleSelection()) {
    // Copies made in this pass carry "TempSelected", so that the walk never copies a copy.
    const int pictureEnd = static_cast<int>(designer_.CustomPictures.size()) - 1;
    for (int i = 0; i < pictureEnd; ++i) {
      if (!IsLivePicture(i) || picturesShown_[i].tag != kTagSelected) continue;
      picturesShown_[i].tag = kTagPicture;
      CopyPicture(i, dx, dy, kTagTempSelected);
    }
    for (auto& [slot, c] : picturesShown_)
      if (c.tag == kTagTempSelected) c.tag = kTagSelected;
    const int textEnd = static_cast<int>(designer_.CustomTexts.size()) - 1;
    for (int i = 0; i < textEnd; ++i) {
      if (!IsLiveText(i) || texts_[i].tag != kTagSelected) continue;
      texts_[i].tag.clear();
      CopyText(i, dx, dy, kTagTempSelected);
    }
    for (auto& [slot, c] : texts_)
      if (c.tag == kTagTempSelected) c.tag = kTagSelected;
    gesture_.moveGrabX = gesture_.moveGrabY = gesture_.moveLastX = gesture_.moveLastY = -1.0;
    current_ = -1;
    frame_.left += dx * z;
    frame_.top += dy * z;
    frame_.visible = true;
    ShowSelectionState();
  } else {
    if (!frame_.visible || current_ < 0) return;
    // One framed object, always by a quarter inch right and down.
    if (currentIsText_ && IsLiveText(current_))
      current_ = CopyText(current_, 0.25, 0.25, QString());
    else if (!currentIsText_ && IsLivePicture(current_))
      current_ = CopyPicture(current_, 0.25, 0.25, kTagPicture);
    else
      return;
    frame_.left += 0.25 * z;
    frame_.top += 0.25 * z;
    frame_.visible = true;
  }
  Repaint();
  Changed();
}

void DesignerObjects::DuplicateSelectionOnFullPage() {
  const Batch batch(*this);
  if (frame_.visible && frame_.tag.isEmpty())
    SelectMultipleObjects(frame_.left, frame_.top, frame_.left + frame_.width, frame_.top + frame_.height);
  // Without a selection there is nothing to copy, and no frame to test against the cells.
  if (!MultipleSelection()) return;
  SHORT c0 = 0, r0 = 0, columns = 0, rows = 0;
  if (!IsSelectionInsideLabel(c0, r0, columns, rows)) return;
  for (int i = 0; i + 1 < designer_.CustomTexts.size(); ++i)
    if (IsLiveText(i) && texts_[i].tag != kTagSelected) {
      texts_[i].tag.clear();
      DeleteCurLabel(i);
    }
  for (int i = 0; i + 1 < designer_.CustomPictures.size(); ++i)
    if (IsLivePicture(i) && picturesShown_[i].tag != kTagSelected) DeleteCurPicture(i);
  const reports::LabelStock g = reports::GetLabelStockOffsets(job_.ReportType, job_.TemplateKind);
  if (c0 > 0 && r0 > 0) {
    const int own = c0 - 1, ownRow = r0 - 1;
    int pc = own, pr = ownRow;
    // Each copy is made from the latest copies, so every offset runs from the previous cell.
    for (int c = 0; c < g.columns; ++c)
      for (int r = 0; r < g.rows; ++r) {
        if (c == own && r == ownRow) continue;
        DuplicateSelection((c - pc) * g.colPitch, (r - pr) * g.rowPitch);
        pc = c;
        pr = r;
      }
  }
  frame_.visible = false;
  Changed();
}

void DesignerObjects::DeleteCurrentSelection() {
  const Batch batch(*this);
  for (int i = 0; i + 1 < designer_.CustomTexts.size(); ++i)
    if (IsLiveText(i) && texts_[i].tag == kTagSelected) {
      texts_[i].tag.clear();
      DeleteCurLabel(i);
    }
  for (int i = 0; i + 1 < designer_.CustomPictures.size(); ++i)
    if (IsLivePicture(i) && picturesShown_[i].tag == kTagSelected) DeleteCurPicture(i);
  frame_.tag.clear();
  frame_.visible = false;
  DeselectMultipleSelection();
  menus_.dup = menus_.dupPage = false;
  Changed();
}

}  // namespace designer
