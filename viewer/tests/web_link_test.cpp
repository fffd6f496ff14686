// Links a presentation may ask the viewer to open: web pages as they are, mail links with their
// recipients, subject and body only, anything else not at all.
#include <gtest/gtest.h>

#include "app/web_link.h"

namespace {

struct Case {
  const char* link;
  const char* opened;  // empty: not opened
};

TEST(WebLink, OnlyWebPagesAndMailAreOpened) {
  const Case cases[] = {
      {"http://example.com/a?b=c", "http://example.com/a?b=c"},
      {"HTTPS://example.com/", "HTTPS://example.com/"},
      {"file:///C:/Windows/notepad.exe", ""},
      {"C:\\Windows\\notepad.exe", ""},
      {"\\\\server\\share\\x.exe", ""},
      {"javascript:alert(1)", ""},
      {"http://", ""},
      {"mailto:", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(viewer::WebLinkToOpen(c.link), c.opened) << c.link;
}

TEST(WebLink, MailLinksKeepRecipientsSubjectAndBody) {
  const Case cases[] = {
      {"mailto:ann@example.com", "mailto:ann@example.com"},
      {"MAILTO:ann@example.com,bob@example.com", "mailto:ann@example.com,bob@example.com"},
      {"mailto:ann@example.com?subject=Hello%20there&body=Q%26A",
       "mailto:ann@example.com?subject=Hello%20there&body=Q%26A"},
      {"mailto:?to=ann@example.com&cc=bob@example.com&bcc=cy@example.com",
       "mailto:?to=ann@example.com&cc=bob@example.com&bcc=cy@example.com"},
      {"mailto:ann@example.com?Subject=Hi", "mailto:ann@example.com?subject=Hi"},
      {"mailto:ann@example.com#frag", "mailto:ann@example.com"},
  };
  for (const Case& c : cases) EXPECT_EQ(viewer::WebLinkToOpen(c.link), c.opened) << c.link;
}

TEST(WebLink, MailLinksLoseEverythingThatAddsFiles) {
  const Case cases[] = {
      {"mailto:ann@example.com?attach=C:\\secret.txt", "mailto:ann@example.com"},
      {"mailto:ann@example.com?subject=Hi&attach=C:\\secret.txt&body=x",
       "mailto:ann@example.com?subject=Hi&body=x"},
      {"mailto:ann@example.com?ATTACHMENT=%5C%5Cserver%5Cshare%5Cf", "mailto:ann@example.com"},
      {"mailto:ann@example.com?%61ttach=C:/secret.txt", "mailto:ann@example.com"},
      {"mailto:ann@example.com?%2561ttach=C:/secret.txt", "mailto:ann@example.com"},
      {"mailto:ann@example.com?file=C:/secret.txt&x-attach=1", "mailto:ann@example.com"},
      {"mailto:ann@example.com?subject=Hi;attach=C:/secret.txt",
       "mailto:ann@example.com?subject=Hi"},
      // Hidden in an encoded separator, for a mail program that decodes before it splits.
      {"mailto:ann@example.com?subject=Hi%26attach%3DC:/secret.txt", "mailto:ann@example.com"},
      {"mailto:ann@example.com%3Fattach%3DC:/secret.txt", ""},
      {"mailto:ann@example.com?body=a%2526attach%253Dx", "mailto:ann@example.com"},
  };
  for (const Case& c : cases) EXPECT_EQ(viewer::WebLinkToOpen(c.link), c.opened) << c.link;
}

}  // namespace
