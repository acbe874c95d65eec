// Control identifiers of the two windows. Shared with the end-to-end tests,
// which find controls by these numbers; plain constants only.
#pragma once

namespace qs::ids {

// Backdrop.
inline constexpr int kLblBackTitle = 100;

// Main window, in the order the window creates them.
inline constexpr int kGrpSetupFolder = 201;
inline constexpr int kTxtFolder = 202;
inline constexpr int kBtnRefer = 203;
inline constexpr int kGrpOption = 204;
inline constexpr int kChkOverWrite = 205;
inline constexpr int kFraShortCut = 206;
inline constexpr int kChkSCutDesktop = 207;
inline constexpr int kChkSCutStartMenu = 208;
inline constexpr int kChkSCutStartUp = 209;
inline constexpr int kChkSCutSendTo = 210;
inline constexpr int kBtnUnSetup = 211;
inline constexpr int kBtnEnd = 212;
inline constexpr int kGrpMessage = 213;
inline constexpr int kLblMessage = 214;
inline constexpr int kFraStatus = 215;
inline constexpr int kLblStatus = 216;
inline constexpr int kPrgStatus = 217;
inline constexpr int kBtnSetup = 218;
inline constexpr int kFraReadme = 219;
inline constexpr int kTxtReadme = 220;
inline constexpr int kBtnContinue = 221;
inline constexpr int kBtnCloseErrorLog = 222;

}  // namespace qs::ids
