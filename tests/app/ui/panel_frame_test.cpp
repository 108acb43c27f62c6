// The host panel as one frame draws it: faces, labels, port lines, client
// buttons, the unreachable notice and the separators.
#include "app/ui/ui_support.hpp"

#include "app/commands.hpp"
#include "app/ui/panel.hpp"
#include "app/ui/window.hpp"
#include "gfx/screen_driver.hpp"

using namespace ui;

namespace {

class PanelFrame : public FrameTest {};

TEST_F(PanelFrame, ButtonsLabelsAndSeparatorsOfEveryPanel) {
  HostRecord& a = placeHost("alpha.test");
  a.canonicalName = "web.alpha.test";
  a.address = "127.0.0.9";
  HostRecord& b = placeHost("beta.test");
  b.pingInterval = 10;
  drawOne();
  ASSERT_EQ(screen_context->height, 400);

  for (int t : {0, 200}) {
    SCOPED_TRACE(t);
    // Button faces, with their last row and column included.
    EXPECT_EQ(pixel(0, t + 1), face);
    EXPECT_EQ(pixel(100, t + 19), face);
    EXPECT_EQ(pixel(101, t + 10), background);
    EXPECT_EQ(pixel(120, t + 1), face);
    EXPECT_EQ(pixel(230, t + 19), face);
    EXPECT_EQ(pixel(119, t + 10), background);
    EXPECT_EQ(pixel(231, t + 10), background);
    EXPECT_EQ(pixel(50, t + 20), background);
    EXPECT_TRUE(textAt(20, t + 3, "Neuladen", light, face));

    // Separator under the address, and the two between panels.
    EXPECT_TRUE(boxIs(0, t + 65, 400, t + 65, grey));
    EXPECT_TRUE(boxIs(0, t, 799, t, grey));
    EXPECT_TRUE(textAt(10, t + 67, "NMAP:", light, background));

    // Graph frame: the line at x = 400 reaches T+197, the white field T+196.
    EXPECT_TRUE(boxIs(400, t, 400, t + 197, grey));
    EXPECT_EQ(pixel(401, t + 1), white);
    EXPECT_EQ(pixel(799, t + 196), white);
  }
  EXPECT_TRUE(textAt(128, 3, "Ping alle 2s", light, face));
  // Thirteen characters reach x = 231, one column past the face.
  EXPECT_TRUE(textAt(128, 203, "Ping alle 10s", light, face, [](int x, int) { return x == 231; }));
  EXPECT_TRUE(boxIs(231, 203, 231, 216, background));
  EXPECT_TRUE(textAt(10, 20, "Name:  alpha.test", light, background));
  EXPECT_TRUE(textAt(10, 35, "Alias: web.alpha.test", light, background));
  EXPECT_TRUE(textAt(10, 50, "IP:    127.0.0.9", light, background));
  EXPECT_TRUE(textAt(10, 220, "Name:  beta.test", light, background));
  EXPECT_TRUE(textAt(10, 235, "Alias: ", light, background));

  // Between the panels: panel 1's upper separator at 197, then two rows of
  // background, then its top separator at 200.
  EXPECT_TRUE(boxIs(0, 197, 799, 197, grey));
  EXPECT_TRUE(boxIs(0, 198, 399, 199, background));
  EXPECT_TRUE(boxIs(401, 198, 799, 199, background));
  EXPECT_EQ(pixel(400, 198), background);
  // The last panel: its frame line ends at 397; below it only background.
  EXPECT_EQ(pixel(400, 397), grey);
  EXPECT_EQ(pixel(600, 397), background);
  EXPECT_TRUE(boxIs(0, 398, 799, 399, background));
}

TEST_F(PanelFrame, PortLinesWithClientButtons) {
  HostRecord& h = placeHost("files.test");
  h.portLines[1] = "21/tcp open  ftp";
  h.portLines[2] = "22/tcp open  ssh";
  h.portLines[3] = "80/tcp open  http";
  h.portLines[4] = "21/tcp    open   ftp     vsftpd 3.0.3";
  h.portLines[5] = "21/tcp closed ftp";
  h.portLines[6] = "8021/tcp open  ftp-proxy";  // not port 21
  h.portLines[9] = "ninth line";                // the probe never fills it, but it is shown
  drawOne();

  const int y1 = 67, y2 = 82, y3 = 97, y4 = 112, y5 = 127, y9 = 187;
  EXPECT_TRUE(textAt(70, y1, h.portLines[1], light, background));
  EXPECT_TRUE(textAt(70, y2, h.portLines[2], light, background));
  EXPECT_TRUE(textAt(70, y3, h.portLines[3], light, background));
  EXPECT_TRUE(textAt(70, y9, "ninth line", light, background));
  EXPECT_TRUE(textAt(70, y5, h.portLines[5], light, background));

  // FTP face (300, y)-(390, y+13); SSH face one row taller.
  EXPECT_TRUE(boxIs(300, y1, 305, y1 + 13, face));
  EXPECT_TRUE(boxIs(386, y1, 390, y1 + 13, face));
  EXPECT_EQ(pixel(299, y1 + 5), background);
  EXPECT_EQ(pixel(391, y1 + 5), background);
  EXPECT_EQ(pixel(300, y1 + 14), background);
  EXPECT_TRUE(textAt(306, y1, "FTP-Client", light, face));
  EXPECT_TRUE(boxIs(300, y2, 305, y2 + 14, face));
  EXPECT_EQ(pixel(300, y2 + 15), background);
  EXPECT_TRUE(textAt(306, y2, "SSH-Client", light, face));
  // The http line and the closed port have no button; the padded literal
  // layout has one.
  EXPECT_EQ(pixel(300, y3 + 5), background);
  EXPECT_EQ(pixel(300, y5 + 5), background);
  EXPECT_EQ(pixel(300, y5 + 20), background);
  EXPECT_EQ(pixel(300, y4 + 5), face);
  EXPECT_TRUE(textAt(306, y4, "FTP-Client", light, face));
  // Reachable: no notice over the first port line.
  EXPECT_EQ(pixel(300, y9 + 5), background);
}

TEST_F(PanelFrame, UnsafeNameGetsNoClientButtons) {
  HostRecord& h = placeHost("evil;touch x");
  h.nameSafe = false;
  h.portLines[1] = "21/tcp open  ftp";
  h.portLines[2] = "22/tcp open  ssh";
  placeHost(" files.test").portLines[1] = "22/tcp open  ssh";  // ssh would take "root@" alone
  drawOne();
  EXPECT_TRUE(textAt(70, 67, h.portLines[1], light, background));
  EXPECT_TRUE(boxIs(300, 67, 390, 96, background));
  EXPECT_TRUE(boxIs(300, 267, 390, 281, background));
}

TEST_F(PanelFrame, UnreachableHostShowsNoticeAndIsNotPinged) {
  HostRecord& h = placeHost("gone.test", false);
  h.lastPingTime = 0;                          // long overdue, were it reachable
  placeHost("-oN x", false).nameSafe = false;  // refused: never probed, so not known to be down
  drawOne();
  EXPECT_TRUE(textAt(70, 67, "Host nicht erreichbar", warning, background));
  EXPECT_TRUE(textAt(70, 267, "Name abgelehnt", warning, background));
  EXPECT_EQ(tools->calls("ping"), 0);
  EXPECT_EQ(h.latency[100], 0);
}

TEST_F(PanelFrame, NoticeIsDrawnOverTheFirstPortLine) {
  HostRecord& h = placeHost("gone.test", false);
  h.portLines[1] = "22/tcp open  ssh";  // stale from an earlier scan
  drawOne();
  // Wherever the notice has a glyph bit, its colour wins.
  EXPECT_TRUE(textAt(70, 67, "Host nicht erreichbar", warning, notText));
  EXPECT_EQ(pixel(300, 72), face);  // the stale line keeps its button
}

TEST_F(PanelFrame, PointerOverButtonsHighlightsWithoutPress) {
  HostRecord& h = placeHost("alpha.test");
  h.portLines[1] = "21/tcp open  ftp";
  h.portLines[2] = "22/tcp open  ssh";
  ASSERT_EQ(openWindow(hostCount), 0);

  pointerAt(50, 10, 0);
  drawFrame();
  EXPECT_TRUE(textAt(20, 3, "Neuladen", dark, light));
  EXPECT_EQ(pixel(0, 1), light);
  EXPECT_EQ(pixel(100, 19), light);
  EXPECT_TRUE(textAt(128, 3, "Ping alle 2s", light, face));

  pointerAt(200, 10, 0);
  drawFrame();
  EXPECT_TRUE(textAt(20, 3, "Neuladen", light, face));
  EXPECT_TRUE(textAt(128, 3, "Ping alle 2s", dark, light));

  // FTP highlight reaches y+14, one row below its face.
  pointerAt(350, 70, 0);
  drawFrame();
  EXPECT_TRUE(textAt(306, 67, "FTP-Client", dark, light));
  EXPECT_TRUE(boxIs(300, 67, 305, 81, light));
  EXPECT_TRUE(textAt(306, 82, "SSH-Client", light, face));

  pointerAt(350, 90, 0);
  drawFrame();
  EXPECT_TRUE(textAt(306, 82, "SSH-Client", dark, light));
  EXPECT_TRUE(boxIs(300, 82, 305, 96, light));

  EXPECT_EQ(lastClickTime, 0);
  EXPECT_EQ(h.pingInterval, 2);
  EXPECT_EQ(tools->calls("nslookup") + tools->calls("launcher"), 0);
}

TEST_F(PanelFrame, ARepeatedPanelTakesAChangedFieldOrThePointerAtOnce) {
  HostRecord& h = placeHost("alpha.test");
  h.portLines[1] = "21/tcp open  ftp";
  ASSERT_EQ(openWindow(hostCount), 0);
  drawFrame();
  drawFrame();  // nothing changed: the labels and buttons repeat the last frame's
  h.address = "127.0.0.7";
  drawFrame();
  EXPECT_TRUE(textAt(10, 50, "IP:    127.0.0.7", light, background));
  h.portLines[2] = "22/tcp open  ssh";
  drawFrame();
  EXPECT_TRUE(textAt(306, 82, "SSH-Client", light, face));
  h.pingInterval = 3;
  drawFrame();
  EXPECT_TRUE(textAt(128, 3, "Ping alle 3s", light, face));
  pointerAt(350, 70, 0);
  drawFrame();
  EXPECT_TRUE(textAt(306, 67, "FTP-Client", dark, light));
  pointerAt(600, 70, 0);
  drawFrame();
  EXPECT_TRUE(textAt(306, 67, "FTP-Client", light, face));
  h.reachable = 0;
  drawFrame();
  EXPECT_TRUE(textAt(70, 67, "Host nicht erreichbar", warning, notText));
}

TEST_F(PanelFrame, LeftColumnsOfTheReloadFaceDoNotHighlight) {
  placeHost("alpha.test");
  ASSERT_EQ(openWindow(hostCount), 0);
  pointerAt(20, 10, 0);
  drawFrame();
  EXPECT_TRUE(textAt(20, 3, "Neuladen", light, face));
  pointerAt(21, 10, 0);
  drawFrame();
  EXPECT_TRUE(textAt(20, 3, "Neuladen", dark, light));
}

TEST_F(PanelFrame, ClientCommandsQuoteTheClientBehindTheLauncher) {
  HostRecord& h = placeHost("files.test");
  launcherCommand = "xterm -e";
  EXPECT_EQ(ftpCommand(h), "xterm -e \"ftp -nv files.test\"");
  EXPECT_EQ(sshCommand(h), "xterm -e \"ssh -X root@files.test\"");
  launcherCommand = "";
  EXPECT_EQ(ftpCommand(h), " \"ftp -nv files.test\"");
}

TEST_F(PanelFrame, WindowSizeAndFontForOneAndSixHosts) {
  placeHost("a.test");
  ASSERT_EQ(openWindow(hostCount), 0);
  EXPECT_EQ(screen_context->width, 800);
  EXPECT_EQ(screen_context->height, 200);
  EXPECT_STREQ(screen_title(), "Zeige 1 Server");
  EXPECT_EQ(screen_context->font->height, 14);
  for (int i = 1; i < 6; ++i) placeHost("more.test");
  ASSERT_EQ(openWindow(hostCount), 0);
  EXPECT_EQ(screenHeight, 1200);
  EXPECT_EQ(screen_context->height, 1200);
  EXPECT_STREQ(screen_title(), "Zeige 6 Server");
  EXPECT_EQ(screen_context->font->height, 14);
}

TEST_F(PanelFrame, FontHeightOtherThan8_14_16ChangesNothing) {
  placeHost("a.test");
  ASSERT_EQ(openWindow(hostCount), 0);
  EXPECT_FALSE(selectFontHeight(10));
  EXPECT_EQ(screen_context->font->height, 14);
  EXPECT_TRUE(selectFontHeight(8));
  EXPECT_EQ(screen_context->font->height, 8);
  EXPECT_EQ(screen_context->text_rows, 25);
  EXPECT_TRUE(selectFontHeight(16));
  EXPECT_EQ(screen_context->font->height, 16);
}

}  // namespace
