#include "probe/value_editors.h"

#include <cstring>
#include <string>

#include "probe/resource_ids.h"

namespace {

constexpr COLORREF kListGrey = RGB(192, 192, 192);

std::string WindowText(HWND window) {
  const int length = GetWindowTextLengthA(window);
  std::string text(static_cast<std::size_t>(length > 0 ? length : 0) + 1, '\0');
  GetWindowTextA(window, text.data(), static_cast<int>(text.size()));
  text.resize(std::strlen(text.c_str()));
  return text;
}

bool Visible(HWND window) {
  return (GetWindowLongA(window, GWL_STYLE) & WS_VISIBLE) != 0;
}

void Show(HWND window, bool visible) {
  ShowWindow(window, visible ? SW_SHOW : SW_HIDE);
}

// A list box or drop-down in the list's role, or an edit field: which one
// is shown follows whether the capability's values have names.
void ChooseListOrEdit(HWND list, HWND edit, bool comboBox, const std::vector<std::string>& names) {
  const UINT reset = comboBox ? CB_RESETCONTENT : LB_RESETCONTENT;
  const UINT add = comboBox ? CB_ADDSTRING : LB_ADDSTRING;
  const UINT select = comboBox ? CB_SETCURSEL : LB_SETCURSEL;
  SendMessageA(list, reset, 0, 0);
  if (names.empty()) {
    Show(list, false);
    Show(edit, true);
    return;
  }
  Show(edit, false);
  for (const std::string& name : names)
    SendMessageA(list, add, 0, reinterpret_cast<LPARAM>(name.c_str()));
  SendMessageA(list, select, 0, 0);
  Show(list, true);
}

}  // namespace

void ValueEditor::Load(int cap, int itemType) {
  if (cap == cap_ && itemType == itemType_) return;
  cap_ = cap;
  itemType_ = itemType;
  Reload();
}

// The image lists are ours, made once and kept across list views (the
// views are LVS_SHAREIMAGELISTS, so they never free them).
ValueListControl::~ValueListControl() {
  if (IsWindow(list_)) {
    SendMessageA(list_, LVM_SETIMAGELIST, LVSIL_STATE, 0);
    SendMessageA(list_, LVM_SETIMAGELIST, LVSIL_SMALL, 0);
  }
  if (checks_) ImageList_Destroy(checks_);
  if (markers_) ImageList_Destroy(markers_);
}

void ValueListControl::MakePictures() {
  if (!checks_) {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    checks_ = ImageList_Create(kValuePictureSize, kValuePictureSize, ILC_COLOR24, 2, 0);
    markers_ = ImageList_Create(kValuePictureSize, kValuePictureSize, ILC_COLOR24, 4, 0);
    for (auto [list, id] : {std::pair{checks_, IDB_VALUE_CHECKS}, {markers_, IDB_VALUE_MARKERS}}) {
      HBITMAP picture = LoadBitmapA(instance, MAKEINTRESOURCEA(id));
      ImageList_Add(list, picture, nullptr);
      DeleteObject(picture);
    }
  }
  // A dialog made again has a new list view, which needs them too.
  if (SendMessageA(list_, LVM_GETIMAGELIST, LVSIL_STATE, 0) == reinterpret_cast<LRESULT>(checks_))
    return;
  SendMessageA(list_, LVM_SETIMAGELIST, LVSIL_STATE, reinterpret_cast<LPARAM>(checks_));
  SendMessageA(list_, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(markers_));
  SendMessageA(list_, LVM_SETBKCOLOR, 0, kListGrey);
  SendMessageA(list_, LVM_SETTEXTBKCOLOR, 0, kListGrey);
}

void ValueListControl::SetUp(int cap) {
  model_.SetUp(cap);
  SendMessageA(list_, LVM_DELETEALLITEMS, 0, 0);
  EnableWindow(list_, model_.enabled());
  if (!model_.enabled()) return;
  MakePictures();
  const auto& items = model_.items();
  for (int k = 0; k < static_cast<int>(items.size()); ++k) {
    LVITEMA item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_STATE;
    item.iItem = k;
    item.pszText = const_cast<char*>(items[k].text.c_str());
    item.iImage = 0;
    item.state = INDEXTOSTATEIMAGEMASK(1);
    item.stateMask = LVIS_STATEIMAGEMASK;
    SendMessageA(list_, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
  }
}

void ValueListControl::Show(int k) {
  const auto& items = model_.items();
  if (k < 0 || k >= static_cast<int>(items.size())) return;
  LVITEMA item{};
  item.mask = LVIF_IMAGE | LVIF_STATE;
  item.iItem = k;
  item.iImage = model_.Marker(k);
  item.state = INDEXTOSTATEIMAGEMASK(items[k].checked ? 2 : 1);
  item.stateMask = LVIS_STATEIMAGEMASK;
  SendMessageA(list_, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item));
}

// Markers move between items, so every item is brought up to date.
void ValueListControl::ShowAll() {
  for (int k = 0; k < static_cast<int>(model_.items().size()); ++k) Show(k);
}

int ValueListControl::HitItem(POINT point, UINT* flags) const {
  LVHITTESTINFO hit{};
  hit.pt = point;
  const int k =
      static_cast<int>(SendMessageA(list_, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
  *flags = hit.flags;
  return k;
}

void ValueListControl::ToggleSelected() {
  int k = -1;
  while ((k = static_cast<int>(SendMessageA(list_, LVM_GETNEXTITEM, k, LVNI_SELECTED))) >= 0)
    model_.Toggle(k);
  ShowAll();
}

void ValueListControl::MarkFocused(int marker) {
  const int k = static_cast<int>(SendMessageA(list_, LVM_GETNEXTITEM, -1, LVNI_FOCUSED));
  if (k < 0) return;
  model_.Check(k);
  if (marker == kMarkerCurrent) {
    model_.MakeCurrent(k);
  } else {
    model_.MakeDefault(k);
  }
  ShowAll();
}

bool ValueListControl::OnNotify(const NMHDR* header, LRESULT* result) {
  if (header->hwndFrom != list_) return false;
  *result = 0;
  switch (header->code) {
    case NM_CLICK:
    case NM_DBLCLK: {
      const auto* activate = reinterpret_cast<const NMITEMACTIVATE*>(header);
      UINT flags = 0;
      const int k = HitItem(activate->ptAction, &flags);
      if (k < 0) return true;
      if (flags & LVHT_ONITEMSTATEICON) {
        model_.Toggle(k);
      } else if ((flags & LVHT_ONITEMICON) && header->code == NM_CLICK) {
        RECT icon{};
        icon.left = LVIR_ICON;
        SendMessageA(list_, LVM_GETITEMRECT, k, reinterpret_cast<LPARAM>(&icon));
        // The picture is drawn centred in its rectangle.
        const int x = activate->ptAction.x - (icon.left + icon.right - kValuePictureSize) / 2;
        const int y = activate->ptAction.y - (icon.top + icon.bottom - kValuePictureSize) / 2;
        model_.ClickMarker(k, x, y);
      } else if ((flags & LVHT_ONITEMLABEL) && header->code == NM_DBLCLK && model_.CanEdit()) {
        SendMessageA(list_, LVM_EDITLABELA, k, 0);
      }
      ShowAll();
      return true;
    }
    case LVN_KEYDOWN:
      if (reinterpret_cast<const NMLVKEYDOWN*>(header)->wVKey == VK_SPACE) ToggleSelected();
      return true;
    case LVN_BEGINLABELEDITA:
      *result = model_.CanEdit() ? FALSE : TRUE;  // TRUE cancels
      return true;
    case LVN_ENDLABELEDITA: {
      const auto* info = reinterpret_cast<const NMLVDISPINFOA*>(header);
      if (!info->item.pszText) return true;  // cancelled
      model_.FinishEdit(info->item.iItem, info->item.pszText);
      ShowAll();
      *result = TRUE;
      return true;
    }
    default:
      return false;
  }
}

bool ArrayEditor::CreateIn(HWND parent) {
  return Create(IDD_ARRAY_EDITOR, parent);
}

BOOL ArrayEditor::OnInitDialog() {
  list_.Attach(Item(IDC_VALUE_LIST));
  return TRUE;
}

INT_PTR ArrayEditor::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NOTIFY) {
    LRESULT result = 0;
    if (list_.OnNotify(reinterpret_cast<const NMHDR*>(lParam), &result)) {
      SetWindowLongPtrA(hwnd(), DWLP_MSGRESULT, result);
      return TRUE;
    }
    return FALSE;
  }
  return ValueEditor::OnMessage(message, wParam, lParam);
}

bool EnumEditor::CreateIn(HWND parent) {
  return Create(IDD_ENUM_EDITOR, parent);
}

BOOL EnumEditor::OnInitDialog() {
  ArrayEditor::OnInitDialog();
  const int buttons[] = {IDC_VALUE_TOGGLE, IDC_VALUE_CURRENT, IDC_VALUE_DEFAULT};
  const int pictures[] = {IDB_VALUE_TOGGLE, IDB_VALUE_CURRENT, IDB_VALUE_DEFAULT};
  for (int i = 0; i < 3; ++i) {
    pictures_[i] = LoadBitmapA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(pictures[i]));
    SendMessageA(Item(buttons[i]), BM_SETIMAGE, IMAGE_BITMAP,
                 reinterpret_cast<LPARAM>(pictures_[i]));
  }
  return TRUE;
}

void EnumEditor::OnDestroy() {
  for (HBITMAP& picture : pictures_) {
    if (picture) DeleteObject(picture);
    picture = nullptr;
  }
}

void EnumEditor::OnCommand(int id, int code) {
  if (code != BN_CLICKED) return;
  if (id == IDC_VALUE_TOGGLE) list_.ToggleSelected();
  if (id == IDC_VALUE_CURRENT) list_.MarkFocused(kMarkerCurrent);
  if (id == IDC_VALUE_DEFAULT) list_.MarkFocused(kMarkerDefault);
}

bool OneValueEditor::CreateIn(HWND parent) {
  return Create(IDD_ONEVALUE_EDITOR, parent);
}

void OneValueEditor::Reload() {
  const OneValueChoice choice = OneValueReload(cap_, itemType_);
  HWND edit = Item(IDC_ONEVALUE_EDIT);
  ChooseListOrEdit(Item(IDC_ONEVALUE_LIST), edit, false, choice.names);
  if (choice.useList) return;
  SetWindowTextA(edit, choice.text.c_str());
  SendMessageA(edit, EM_SETSEL, 0, itemType_ == TWTY_FRAME ? 1 : -1);
  SendMessageA(edit, EM_SCROLLCARET, 0, 0);
}

ContainerHandle* OneValueEditor::Build() {
  const LRESULT selected = SendItem(IDC_ONEVALUE_LIST, LB_GETCURSEL);
  return OneValueBuild(cap_, itemType_, selected == LB_ERR ? -1 : static_cast<int>(selected),
                       WindowText(Item(IDC_ONEVALUE_EDIT)));
}

namespace {

struct RangePairIds {
  int list;
  int edit;
};
constexpr RangePairIds kRangeIds[kRangePairs] = {
    {IDC_RANGE_MIN_LIST, IDC_RANGE_MIN_EDIT},
    {IDC_RANGE_MAX_LIST, IDC_RANGE_MAX_EDIT},
    {IDC_RANGE_CURRENT_LIST, IDC_RANGE_CURRENT_EDIT},
    {IDC_RANGE_DEFAULT_LIST, IDC_RANGE_DEFAULT_EDIT},
};

}  // namespace

bool RangeEditor::CreateIn(HWND parent) {
  return Create(IDD_RANGE_EDITOR, parent);
}

void RangeEditor::Reload() {
  const std::vector<std::string> names = NamedValues(cap_, itemType_);
  for (int pair : {kRangeMin, kRangeMax})
    ChooseListOrEdit(Item(kRangeIds[pair].list), Item(kRangeIds[pair].edit), true, names);
  SetItemText(IDC_RANGE_STEP, "1");
}

ContainerHandle* RangeEditor::Build() {
  RangeInput input;
  input.step = WindowText(Item(IDC_RANGE_STEP));
  for (int i = 0; i < kRangePairs; ++i) {
    HWND list = Item(kRangeIds[i].list);
    RangePair& pair = input.pairs[i];
    pair.dropDownVisible = Visible(list);
    const LRESULT selected = SendMessageA(list, CB_GETCURSEL, 0, 0);
    pair.selected = selected == CB_ERR ? -1 : static_cast<int>(selected);
    pair.dropDownText = WindowText(list);
    pair.editText = WindowText(Item(kRangeIds[i].edit));
  }
  ContainerHandle* h = RangeBuild(cap_, itemType_, input);
  SetItemText(IDC_RANGE_STEP, input.step.c_str());
  for (int i = 0; i < kRangePairs; ++i) {
    const RangePair& pair = input.pairs[i];
    if (pair.dropDownVisible && pair.selected >= 0) continue;
    SetWindowTextA(Item(kRangeIds[i].list), pair.dropDownText.c_str());
    SetWindowTextA(Item(kRangeIds[i].edit), pair.editText.c_str());
  }
  return h;
}
