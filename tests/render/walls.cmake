# Wall picture preparation: the six wall files, and picture loading's answer to bad input.
quelm_add_test(wall_pictures_test OWN_MAIN TIMEOUT 120
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/wall_pictures_test.cpp
  LIBS quelm_render Qt6::Gui)
