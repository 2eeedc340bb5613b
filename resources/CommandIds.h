#pragma once

// Command ids of the main window's menus, accelerators and tool bars, and the
// resource ids of those tables, under their original numbers. Ids from 32767
// up are not valid wx menu ids: ui::MenuCommandId (common/MenuBuilder.h)
// turns them into ids wx accepts.
namespace resources
{
namespace cmd
{
// File
inline constexpr int kNewSubscription = 32770;
inline constexpr int kNewList = 149;
inline constexpr int kNewDownload = 151; // has no handler: stays disabled
inline constexpr int kNewFolder = 148;
inline constexpr int kNewChannel = 147;
inline constexpr int kOpenUrl = 32785;
inline constexpr int kSave = 129;
inline constexpr int kPrint = 57607;
inline constexpr int kPrintDirect = 57608;
inline constexpr int kPrintSetup = 57606;
inline constexpr int kImport = 32771;
inline constexpr int kExport = 32772;
inline constexpr int kExit = 57665;
// Edit
inline constexpr int kUndo = 57643;
inline constexpr int kCut = 57635;
inline constexpr int kCopy = 57634;
inline constexpr int kPaste = 57637;
inline constexpr int kDelete = 32774;
inline constexpr int kPreferences = 136;
// View
inline constexpr int kViewToolbar = 59392;
inline constexpr int kViewStatusBar = 59393;
inline constexpr int kBrowserBar = 252;
inline constexpr int kSplit = 57653;
// Tools
inline constexpr int kLanguage = 240;
inline constexpr int kRefreshNow = 32776;
inline constexpr int kDownloadNow = 32791;
inline constexpr int kFindDialog = 32792;
inline constexpr int kBrowseDirectory = 216;
inline constexpr int kLibraryFolder = 160;
inline constexpr int kMyMusic = 161;
inline constexpr int kMyMovie = 162;
inline constexpr int kDownloadManager = 159;
inline constexpr int kTorrentManager = 243;
// Help
inline constexpr int kFaq = 223;
inline constexpr int kCheckForUpdate = 153;
inline constexpr int kBrowseCentral = 154;
inline constexpr int kAbout = 57664;
// Tray menu
inline constexpr int kRestore = 157;
inline constexpr int kPreference = 158;
// Tool bars and commands in no menu
inline constexpr int kFind = 32793;
inline constexpr int kRemoveAllOutdated = 32798;
inline constexpr int kPlayPodcasts = 32812;
inline constexpr int kLookForFeeds = 224;
inline constexpr int kFocusTree = 32822;
inline constexpr int kFocusList = 32823;
inline constexpr int kFocusAddress = 32824;
inline constexpr int kFocusBrowser = 32825;
inline constexpr int kNextPane = 32826;
inline constexpr int kPreviousPane = 32827;
// The language entries of the Tools menu's "Language" sub-menu.
inline constexpr int kFirstLanguage = 28416;
inline constexpr int kLastLanguage = 28671;
} // namespace cmd

namespace id
{
inline constexpr int kMainMenu = 128;      // menu, accelerator table and tool bar 128
inline constexpr int kSearchToolBar = 168; // the second tool bar
inline constexpr int kTrayMenu = 156;
inline constexpr int kMainIcon = 128;   // images/128-kestrova.png
inline constexpr int kTreeImages = 131; // images/131-tree-images.png: 20 images of 16 by 16
inline constexpr int kNotifierSkin = 179;
inline constexpr int kSearchCombo = 173; // control ids on tool bar 168
inline constexpr int kListCombo = 174;
inline constexpr int kAboutDialog = 100;
} // namespace id
} // namespace resources
