/* Runs on Windows (under wine in the test suite) against the virtual
 * controller behind a COM port: opens the port, probes, reads the version,
 * registers and reads back a card, and checks a silent address times out.
 * Exit status 0 when everything behaved. */
#include <stdio.h>
#include <string.h>

#include "zarvoac.h"

static int failures = 0;

static void expect(const char* what, int32_t got, int32_t want) {
  printf("%-28s %4d %s\n", what, (int)got, got == want ? "ok" : "UNEXPECTED");
  if (got != want) ++failures;
}

int main(int argc, char** argv) {
  const char* port = argc > 1 ? argv[1] : "COM5";
  char version[33] = {0};
  CardRecord card;
  uint32_t ticks = 0;
  int32_t day[33] = {0};

  expect("Zarvo_OpenCom", Zarvo_OpenCom(port, 9600), ZARVO_OK);
  expect("Zarvo_SearchAR(1)", Zarvo_SearchAR(1), ZARVO_OK);
  expect("Zarvo_SearchAR(7) silent", Zarvo_SearchAR(7), ZARVO_E_NO_REPLY);
  expect("Zarvo_Ver", Zarvo_Ver(1, version), ZARVO_OK);
  printf("version: %.32s\n", version);

  memset(&card, 0, sizeof card);
  strcpy(card.cardNumber, "4000000000");
  strcpy(card.pin, "12ab56");
  memset(card.flags, '0', sizeof card.flags);
  card.year = 2027;
  card.month = 1;
  card.day = 31;
  expect("Zarvo_Registry write", Zarvo_Registry(1, &card, &ticks, 1, 0), ZARVO_OK);
  expect("pin upper-cased", strcmp(card.pin, "12AB56"), 0);
  memset(card.pin, 0, sizeof card.pin);
  expect("Zarvo_Registry read", Zarvo_Registry(1, &card, &ticks, 0, 0), ZARVO_OK);
  expect("pin read back", strcmp(card.pin, "12AB56"), 0);
  expect("Zarvo_TimeTable read", Zarvo_TimeTable(1, 0, day, 0), ZARVO_OK);
  {
    /* The same port through the device namespace, as ports above COM9
     * must be named. */
    char spelled[64];
    snprintf(spelled, sizeof spelled, "\\\\.\\%s", port);
    expect("Zarvo_OpenCom(device path)", Zarvo_OpenCom(spelled, 9600), ZARVO_OK);
    expect("Zarvo_SearchAR(1) again", Zarvo_SearchAR(1), ZARVO_OK);
  }
  expect("Zarvo_CloseCom", Zarvo_CloseCom(), ZARVO_OK);
  expect("command after close", Zarvo_SearchAR(1), ZARVO_E_NOT_OPEN);
  printf("%s\n", failures == 0 ? "windows probe passed" : "windows probe FAILED");
  return failures == 0 ? 0 : 1;
}
