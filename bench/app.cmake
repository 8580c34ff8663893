# Start-up of the program against a bare web view showing the same page.
add_executable(bench_startup ${CMAKE_CURRENT_LIST_DIR}/bench_startup.cpp)
target_link_libraries(bench_startup PRIVATE vantoli_shellcore Qt6::WebEngineWidgets)
add_custom_command(TARGET bench_startup POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${PROJECT_SOURCE_DIR}/resources/Welcome $<TARGET_FILE_DIR:bench_startup>/Welcome)
