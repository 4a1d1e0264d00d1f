// The note lines about the Manager: the file bound and its version, the
// files that would not do, and the result of a failed Manager call.
#include "pages/manager_notes.h"

#include "pages/log.h"
#include "session_test_support.h"

namespace {

using Strings = std::vector<std::string>;

TEST(ManagerNotesTest, NameTheBoundFileItsVersionAndTheFilesSkipped) {
  platform::host::AddFile("C:\\WINDOWS\\TWAIN_32.DLL");  // there, but not a library
  fake::SourceManager dsm("C:\\WINDOWS\\system32\\TWAINDSM.DLL");
  platform::host::SetFileVersion(dsm.path(), "2.5.1.0");
  ASSERT_TRUE(TWAIN_BindManager());
  EXPECT_EQ(
      ManagerBindNoteTexts(),
      (Strings{"Source Manager: C:\\WINDOWS\\system32\\TWAINDSM.DLL (version 2.5.1.0)",
               "Not loaded: C:\\WINDOWS\\TWAIN_32.DLL (error 193: not a valid application)"}));
  TWAIN_UnbindManager();

  platform::host::SetFileVersion(dsm.path(), "");
  TWAIN_SetManagerPath(dsm.path().c_str());
  ASSERT_TRUE(TWAIN_BindManager());
  EXPECT_EQ(ManagerBindNoteTexts(), Strings{"Source Manager: C:\\WINDOWS\\system32\\TWAINDSM.DLL"});
  TWAIN_UnbindManager();

  platform::host::RegisterModule("D:\\x.dll", {{"Other", nullptr}});
  TWAIN_SetManagerPath("D:\\x.dll");
  ASSERT_FALSE(TWAIN_BindManager());
  EXPECT_EQ(ManagerBindNoteTexts(), Strings{"Not loaded: D:\\x.dll (it exports no DSM_Entry)"});
}

TEST_F(SessionTest, FailedManagerCallsNameTheTripletAndItsCodes) {
  EXPECT_EQ(FailedCallNoteText(DG_CONTROL, DAT_PARENT, MSG_OPENDSM, TWRC_FAILURE, TWCC_LOWMEMORY),
            "DG_CONTROL / DAT_PARENT / MSG_OPENDSM -> TWRC_FAILURE, TWCC_LOWMEMORY");
  // The Manager's own status is asked in state 2, and the result code stays.
  std::vector<std::string> notes;
  SetLogSink([](const char* text, bool, void* c) { static_cast<Strings*>(c)->push_back(text); },
             &notes);
  GoTo(2);
  dsm.On(DG_CONTROL, DAT_PARENT, MSG_OPENDSM).Return(TWRC_FAILURE).Condition(TWCC_LOWMEMORY);
  ASSERT_FALSE(TWAIN_ManagerOpen(nullptr));
  LogManagerOpenNotes(false);
  EXPECT_EQ(notes, Strings{"   DG_CONTROL / DAT_PARENT / MSG_OPENDSM -> TWRC_FAILURE, "
                           "TWCC_LOWMEMORY"});
  EXPECT_EQ(TWAIN_GetResultCode(), TWRC_FAILURE);
}

TEST_F(SessionTest, AnIdChangedSinceTheListIsNotedOnlyUnderATwoXManager) {
  std::vector<std::string> notes;
  SetLogSink([](const char* text, bool, void* c) { static_cast<Strings*>(c)->push_back(text); },
             &notes);
  dsm.SetTwain2(true);
  GoTo(3);
  TW_IDENTITY listed{};
  ASSERT_TRUE(TWAIN_ManagerCall(DG_CONTROL, DAT_IDENTITY, MSG_GETFIRST, &listed));
  dsm.On(DG_CONTROL, DAT_IDENTITY, MSG_OPENDS).Return(TWRC_SUCCESS).Fill([](TW_MEMREF data) {
    static_cast<TW_IDENTITY*>(data)->Id = 42;
  });
  TW_IDENTITY opening = listed;
  ASSERT_TRUE(TWAIN_ManagerCall(DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &opening));
  LogSourceOpenNotes(true, listed.Id);
  EXPECT_EQ(notes,
            Strings{"   The Source Manager listed this Source as Id 1 and opened it as Id 42"});
}

TEST_F(SessionTest, AOneXManagerMayNumberTheOpenedSourceAnew) {
  std::vector<std::string> notes;
  SetLogSink([](const char* text, bool, void* c) { static_cast<Strings*>(c)->push_back(text); },
             &notes);
  dsm.SetTwain2(false);
  GoTo(4);
  LogSourceOpenNotes(true, TWAIN_Session().sourceIdentity.Id + 1);
  EXPECT_EQ(notes, Strings{});
}

}  // namespace
