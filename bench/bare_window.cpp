// The reference for the player's start-up time: the least an SDL program
// needs to put a 720 x 960 frame on the screen through the window surface.
#include <SDL.h>
#include <time.h>

#include <cstdio>

int main(int, char**) {
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  if (SDL_Init(SDL_INIT_VIDEO) != 0) return 1;
  SDL_Window* window =
      SDL_CreateWindow("Bare", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, 720, 960, 0);
  SDL_Surface* surface = window ? SDL_GetWindowSurface(window) : nullptr;
  if (!surface) return 1;
  SDL_FillRect(surface, nullptr, SDL_MapRGB(surface->format, 198, 220, 202));
  SDL_UpdateWindowSurface(window);
  timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  std::fprintf(stderr, "first frame at %lld.%09ld\n", static_cast<long long>(now.tv_sec),
               now.tv_nsec);
  SDL_Event e;
  while (SDL_WaitEvent(&e) && e.type != SDL_QUIT) {
  }
  SDL_Quit();
  return 0;
}
