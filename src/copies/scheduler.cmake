target_sources(vorlane_copies PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/bside_job.cpp ${CMAKE_CURRENT_LIST_DIR}/bside_job.h
  ${CMAKE_CURRENT_LIST_DIR}/bside_scheduler.cpp ${CMAKE_CURRENT_LIST_DIR}/bside_scheduler.h
  ${CMAKE_CURRENT_LIST_DIR}/cpu_monitor.cpp ${CMAKE_CURRENT_LIST_DIR}/cpu_monitor.h
  ${CMAKE_CURRENT_LIST_DIR}/thermal_monitor.cpp ${CMAKE_CURRENT_LIST_DIR}/thermal_monitor.h)
