# Wall preparation: desktop capture and six 12-megapixel pictures.
add_executable(wall_prep_bench ${CMAKE_CURRENT_LIST_DIR}/wall_prep_bench.cpp)
target_link_libraries(wall_prep_bench PRIVATE quelm_render Qt6::Gui)
