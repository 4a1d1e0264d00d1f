// The four value editors of the Capabilities page's SET area, one dialog
// each (135 to 138), children of the main window placed under the page's
// SET strip. What they hold and build is pages/value_editors; these classes
// only move it in and out of their controls.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include "pages/value_editors.h"
#include "probe/dialog_base.h"

class ValueEditor : public DialogBase {
 public:
  // Refills the editor only when the capability or item type changed, so
  // what the user entered survives switching away and back.
  void Load(int cap, int itemType);
  // A new container of the editor's shape, or null when none can be made.
  virtual ContainerHandle* Build() = 0;
  virtual bool CreateIn(HWND parent) = 0;
  int cap() const { return cap_; }
  int itemType() const { return itemType_; }

 protected:
  virtual void Reload() = 0;

  int cap_ = -1;
  int itemType_ = -1;
};

// The list view of the array and enumeration editors over a ValueList.
class ValueListControl {
 public:
  ~ValueListControl();
  void Attach(HWND listView) { list_ = listView; }
  void SetUp(int cap);
  // Handles the list view's notifications; true with *result when handled.
  bool OnNotify(const NMHDR* header, LRESULT* result);
  void ToggleSelected();
  // Checks the item with the keyboard focus and gives it the marker.
  void MarkFocused(int marker);
  const ValueList& model() const { return model_; }
  HWND hwnd() const { return list_; }

 private:
  void MakePictures();
  void Show(int k);
  void ShowAll();
  int HitItem(POINT point, UINT* flags) const;

  HWND list_ = nullptr;
  ValueList model_;
  HIMAGELIST checks_ = nullptr;
  HIMAGELIST markers_ = nullptr;
};

class ArrayEditor : public ValueEditor {
 public:
  ContainerHandle* Build() override { return list_.model().Build(TWON_ARRAY); }
  bool CreateIn(HWND parent) override;
  ValueListControl& list() { return list_; }

 protected:
  void Reload() override { list_.SetUp(cap_); }
  BOOL OnInitDialog() override;
  INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

  ValueListControl list_;
};

class EnumEditor : public ArrayEditor {
 public:
  ContainerHandle* Build() override { return list_.model().Build(TWON_ENUMERATION); }
  bool CreateIn(HWND parent) override;

 protected:
  BOOL OnInitDialog() override;
  void OnCommand(int id, int code) override;
  void OnDestroy() override;

 private:
  HBITMAP pictures_[3] = {};
};

class OneValueEditor : public ValueEditor {
 public:
  ContainerHandle* Build() override;
  bool CreateIn(HWND parent) override;

 protected:
  void Reload() override;
};

class RangeEditor : public ValueEditor {
 public:
  ContainerHandle* Build() override;
  bool CreateIn(HWND parent) override;

 protected:
  void Reload() override;
};
