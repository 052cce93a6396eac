/* Prints the size and every field offset of the header's records, one per line, as
 * "Record size" and "Record.field offset", for the .NET layout test to compare with its own. */
#include <stddef.h>
#include <stdio.h>

#include "zarvoac.h"

#define SIZE(T) printf(#T " %u\n", (unsigned)sizeof(T))
#define FIELD(T, f) printf(#T "." #f " %u\n", (unsigned)offsetof(T, f))

int main(void) {
  SIZE(EventRecord);
  FIELD(EventRecord, number1);
  FIELD(EventRecord, number2);
  FIELD(EventRecord, date);
  FIELD(EventRecord, time);
  FIELD(EventRecord, value1);
  FIELD(EventRecord, value2);

  SIZE(CardRecord);
  FIELD(CardRecord, cardNumber);
  FIELD(CardRecord, pin);
  FIELD(CardRecord, flags);
  FIELD(CardRecord, reserved);
  FIELD(CardRecord, value1);
  FIELD(CardRecord, value2);
  FIELD(CardRecord, year);
  FIELD(CardRecord, month);
  FIELD(CardRecord, day);

  SIZE(DoubleCardRecord);
  FIELD(DoubleCardRecord, cardNumber1);
  FIELD(DoubleCardRecord, cardNumber2);
  FIELD(DoubleCardRecord, reservedPin);
  FIELD(DoubleCardRecord, flags);
  FIELD(DoubleCardRecord, reserved);
  FIELD(DoubleCardRecord, reservedValue1);
  FIELD(DoubleCardRecord, value2);
  FIELD(DoubleCardRecord, year);
  FIELD(DoubleCardRecord, month);
  FIELD(DoubleCardRecord, day);

  SIZE(AccessLevelRecord);
  FIELD(AccessLevelRecord, firstBit0);
  FIELD(AccessLevelRecord, firstBit1);
  FIELD(AccessLevelRecord, firstBit2);
  FIELD(AccessLevelRecord, firstBit3);
  FIELD(AccessLevelRecord, firstBit4);
  FIELD(AccessLevelRecord, firstBit5);
  FIELD(AccessLevelRecord, firstBit7);
  FIELD(AccessLevelRecord, secondBit0);
  FIELD(AccessLevelRecord, secondBit7);

  SIZE(WarnLevelRecord);
  FIELD(WarnLevelRecord, firstBit0);
  FIELD(WarnLevelRecord, firstBit1);
  FIELD(WarnLevelRecord, firstBit2);
  FIELD(WarnLevelRecord, firstBit3);
  FIELD(WarnLevelRecord, firstBit4);
  FIELD(WarnLevelRecord, firstBit5);
  FIELD(WarnLevelRecord, firstBit6);
  FIELD(WarnLevelRecord, secondBits0to1);
  FIELD(WarnLevelRecord, secondBits2to3);
  FIELD(WarnLevelRecord, secondBit4);
  FIELD(WarnLevelRecord, secondBit5);

  SIZE(ZarvoLineStats);
  FIELD(ZarvoLineStats, exchanges);
  FIELD(ZarvoLineStats, successes);
  FIELD(ZarvoLineStats, refusals);
  FIELD(ZarvoLineStats, noReply);
  FIELD(ZarvoLineStats, noStartByte);
  FIELD(ZarvoLineStats, mismatches);
  FIELD(ZarvoLineStats, notOpen);
  FIELD(ZarvoLineStats, tooLong);
  FIELD(ZarvoLineStats, silences);
  FIELD(ZarvoLineStats, linksLost);
  FIELD(ZarvoLineStats, noiseBytes);
  FIELD(ZarvoLineStats, badByteFrames);
  FIELD(ZarvoLineStats, echoesStripped);
  FIELD(ZarvoLineStats, reconnects);

  SIZE(ZarvoChannel);
  FIELD(ZarvoChannel, context);
  FIELD(ZarvoChannel, write);
  FIELD(ZarvoChannel, read);
  FIELD(ZarvoChannel, discardInput);
  FIELD(ZarvoChannel, close);

  SIZE(TimeTableRecord);
  SIZE(HolidayRecord);
  SIZE(ChainRecord);
  return 0;
}
