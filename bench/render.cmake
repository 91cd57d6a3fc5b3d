# Box renderer: start to the first presented frame, CPU and wall time a frame, peak memory
# (render_bench, driven by render_bench.sh); the generator of the preview picture.
add_executable(render_bench render_bench.cpp)
target_link_libraries(render_bench PRIVATE quelm_render quelm_saver)
add_executable(render_make_preview render_make_preview.cpp)
target_link_libraries(render_make_preview PRIVATE quelm_render Qt6::Test)
