# Wall picture preparation: the picture surface, safe picture loading and the wall files.
target_sources(quelm_render PRIVATE
  ${CMAKE_SOURCE_DIR}/platform/picture_surface.cpp
  ${CMAKE_SOURCE_DIR}/platform/picture_loading.cpp
  ${CMAKE_SOURCE_DIR}/render/wall_pictures.cpp
)
find_package(Threads REQUIRED)
target_link_libraries(quelm_render PUBLIC Threads::Threads)
