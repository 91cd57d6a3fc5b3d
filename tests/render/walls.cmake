# Wall picture preparation: picture loading, the picture surface and the six wall files.
quelm_add_test(wall_pictures_test OWN_MAIN TIMEOUT 120
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/wall_pictures_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/wall_picture_loading_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/wall_test_pictures.cpp
  LIBS quelm_render Qt6::Gui)
