#include "flow/MainLayout.h"

#include "flow/ControlIds.h"
#include "core/Texts.h"

namespace qs {

using K = ControlKind;
using F = FontKind;
namespace t = text;

const std::vector<ControlSpec>& MainControls() {
  static const std::vector<ControlSpec> controls = {
      // id, parent, kind, text, x, y, w, h, enabled, visible, checked, font
      {ids::kGrpSetupFolder, 0, K::GroupBox, t::kGrpSetupFolder, 8, 104, 473, 49, true, true, false, F::Window},
      {ids::kTxtFolder, ids::kGrpSetupFolder, K::Edit, "", 8, 16, 401, 24, false, true, false, F::Folder},
      {ids::kBtnRefer, ids::kGrpSetupFolder, K::Button, t::kBtnRefer, 416, 16, 49, 25, false, true, false, F::Window},
      {ids::kGrpOption, 0, K::GroupBox, t::kGrpOption, 8, 160, 473, 113, true, true, false, F::Window},
      {ids::kChkOverWrite, ids::kGrpOption, K::CheckBox, t::kChkOverWrite, 8, 16, 457, 17, false, true, true, F::Window},
      {ids::kFraShortCut, ids::kGrpOption, K::GroupBox, t::kFraShortCut, 8, 40, 457, 65, true, true, false, F::Window},
      {ids::kChkSCutDesktop, ids::kFraShortCut, K::CheckBox, t::kChkSCutDesktop, 8, 16, 217, 17, false, true, true, F::Window},
      {ids::kChkSCutStartMenu, ids::kFraShortCut, K::CheckBox, t::kChkSCutStartMenu, 232, 16, 217, 17, false, true, true, F::Window},
      {ids::kChkSCutStartUp, ids::kFraShortCut, K::CheckBox, t::kChkSCutStartUp, 8, 40, 217, 17, false, true, true, F::Window},
      {ids::kChkSCutSendTo, ids::kFraShortCut, K::CheckBox, t::kChkSCutSendTo, 232, 40, 217, 17, false, true, true, F::Window},
      {ids::kBtnUnSetup, 0, K::Button, t::kBtnUnSetup, 48, 280, 185, 25, false, true, false, F::Window},
      {ids::kBtnEnd, 0, K::Button, t::kBtnEndSetup, 256, 280, 185, 25, false, true, false, F::Window},
      {ids::kGrpMessage, 0, K::GroupBox, t::kGrpMessage, 8, 8, 473, 89, true, true, false, F::Window},
      {ids::kLblMessage, ids::kGrpMessage, K::Label, "", 8, 16, 457, 65, true, true, false, F::Window},
      {ids::kFraStatus, ids::kGrpMessage, K::GroupBox, t::kFraStatus, 8, 40, 457, 41, true, false, false, F::Window},
      {ids::kLblStatus, ids::kFraStatus, K::Label, t::kLblStatusZero, 416, 16, 32, 17, true, true, false, F::Status},
      {ids::kPrgStatus, ids::kFraStatus, K::Progress, "", 8, 16, 401, 17, true, true, false, F::Window},
      {ids::kBtnSetup, 0, K::Button, t::kBtnSetup, 48, 280, 185, 25, false, true, false, F::Window},
      {ids::kFraReadme, 0, K::GroupBox, "", 8, 8, 473, 265, true, false, false, F::Window},
      {ids::kTxtReadme, ids::kFraReadme, K::Memo, "", 8, 16, 457, 241, true, true, false, F::Readme},
      {ids::kBtnContinue, 0, K::Button, t::kBtnContinue, 48, 280, 185, 25, false, true, false, F::Window},
      {ids::kBtnCloseErrorLog, 0, K::Button, t::kBtnCloseErrorLog, 48, 280, 185, 25, true, false, false, F::Window},
  };
  return controls;
}

namespace {

void AddWithChildren(int id, std::vector<int>& order) {
  order.push_back(id);
  for (const ControlSpec& spec : MainControls()) {
    if (spec.parent == id) AddWithChildren(spec.id, order);
  }
}

}  // namespace

std::vector<int> MainTabOrder() {
  std::vector<int> order;
  for (int id : {ids::kFraReadme, ids::kGrpMessage, ids::kGrpSetupFolder, ids::kGrpOption,
                 ids::kBtnContinue, ids::kBtnSetup, ids::kBtnUnSetup, ids::kBtnEnd,
                 ids::kBtnCloseErrorLog}) {
    AddWithChildren(id, order);
  }
  return order;
}

}  // namespace qs
