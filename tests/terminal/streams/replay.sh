#!/bin/bash
# replay.sh IN.bin OUT.screen: the screen tmux shows for IN.bin (80 x 24).
in="$1"; out="$2"
tmux kill-session -t zplay 2>/dev/null
tmux new-session -d -s zplay -x 80 -y 24 "stty raw -echo; cat '$in'; sleep 600"
sleep 1.5
{ tmux capture-pane -t zplay -p | sed -e 's/[[:space:]]*$//'
  for i in $(seq $(tmux capture-pane -t zplay -p | wc -l) 23); do echo; done
  tmux display -t zplay -p '#{cursor_y} #{cursor_x}' | awk '{x=$2+1; if (x>80) x=80; print "cursor " $1+1 " " x}'
} > "$out"
tmux kill-session -t zplay
