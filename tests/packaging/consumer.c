/* A program built against an installed ZarvoAC: probes controller 1 on the
 * port named on the command line. */
#include <stdio.h>

#include <zarvoac.h>

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: consumer DEVICE\n");
    return 2;
  }
  int32_t result = Zarvo_OpenCom(argv[1], 9600);
  if (result == ZARVO_OK) result = Zarvo_SearchAR(1);
  Zarvo_CloseCom();
  printf("probe of controller 1: %d\n", (int)result);
  return result == ZARVO_OK ? 0 : 1;
}
