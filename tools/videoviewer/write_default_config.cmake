# Writes the viewer's default configuration unless the runtime folder already has one, so an
# address chosen in the connection dialog survives rebuilds.
if(NOT EXISTS "${CONFIG_FILE}")
  file(WRITE "${CONFIG_FILE}" "[video_addr]\naddr=http://127.0.0.1:6001\n")
endif()
