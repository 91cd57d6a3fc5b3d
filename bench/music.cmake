# Music: time from starting the music to the first sound on the sound server, and from
# stopping it to silence. Run under scripts/with-services.sh.
if(TARGET quelm_music_testkit)
  add_executable(music_latency_bench ${CMAKE_CURRENT_LIST_DIR}/music_latency_bench.cpp)
  target_link_libraries(music_latency_bench PRIVATE quelm_music_testkit)
endif()
