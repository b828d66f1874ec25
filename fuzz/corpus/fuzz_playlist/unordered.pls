[Playlist]
File10=http://h/10
File2=http://h/2
file1=  
FILE3=/abs
