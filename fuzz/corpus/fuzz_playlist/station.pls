[playlist]
NumberOfEntries=2
File1=http://127.0.0.1:8000/live.mp3
Title1=Live
Length1=-1
File2=backup.mp3
Version=2
